// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTimer>
#include <QWidget>

namespace quillotone {

// A small busy indicator: two arrows chasing each other round a circle. It
// animates only while shown; hidden, no timer runs.
class ChasingArrows : public QWidget {
  Q_OBJECT

 public:
  explicit ChasingArrows(QWidget* parent = nullptr);

  [[nodiscard]] bool IsAnimating() const { return timer_.isActive(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  // Ten frames a second at 300 degrees a second: each frame wakes the
  // program, so the fewest that still read as motion. The arrows look the
  // same every half turn, and 30 degrees steps through six positions.
  static constexpr int kFrameMs = 100;
  static constexpr int kDegreesPerFrame = 30;

  QTimer timer_;
  int angle_ = 0;
};

}  // namespace quillotone
