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
  static constexpr int kFrameMs = 40;
  static constexpr int kDegreesPerFrame = 12;

  QTimer timer_;
  int angle_ = 0;
};

}  // namespace quillotone
