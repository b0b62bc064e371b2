// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QTimer>

#include "ui/DesktopNotices.h"

class QWidget;

namespace quillotone {

// Where the program's message boxes go. The real one shows a modal box and
// returns when the user has dismissed it; tests read the text instead.
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void Show(const QString& text) = 0;
  // News that waits for no one (the sound output lost, or back): the program
  // goes on, its window usable, while it shows. A later notice takes the
  // place of one still showing. Shown as a message unless a sink does better.
  virtual void Notice(const QString& text) { Show(text); }
  // News that ends what the last notice told (the sound output is back).
  virtual void NoticeOver(const QString& text) { Notice(text); }
};

// A Qt message box titled with the program's name, with one OK button.
// Notices go to the desktop's notification service; where none runs, to a
// box beside the window.
class MessageBoxSink final : public MessageSink {
 public:
  explicit MessageBoxSink(QWidget* parent = nullptr);
  ~MessageBoxSink() override;
  MessageBoxSink(const MessageBoxSink&) = delete;
  MessageBoxSink& operator=(const MessageBoxSink&) = delete;

  void SetParent(QWidget* parent) { parent_ = parent; }
  void Show(const QString& text) override;
  void Notice(const QString& text) override;
  // The box, if it shows this, closes itself a little later.
  void NoticeOver(const QString& text) override;
  [[nodiscard]] QMessageBox* notice() const { return notice_.data(); }

  static constexpr int kNoticeOverMs = 4000;

 private:
  // A box that is not modal, so stop works while it is up, and stands beside
  // the window, so it covers none of its controls.
  void ShowNoticeBox(const QString& text);

  QWidget* parent_;
  DesktopNotices desktop_;
  QPointer<QMessageBox> notice_;
  QTimer closeNotice_;
};

}  // namespace quillotone
