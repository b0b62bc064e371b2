// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/MessageSink.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <iostream>

#include "ui/Texts.h"

namespace quillotone {
namespace {

// Wide enough that a web address is not broken over lines.
const QString kBoxStyle = QStringLiteral("QLabel { min-width: 34em; }");
// Between the window's frame and the box's, room for the box's own frame,
// which is not known before it shows.
constexpr int kNoticeGap = 40;

// Where `box` covers nothing of `window`: right of it, left, below or above,
// the first that the screen holds whole.
QPoint BesideWindow(const QWidget& box, const QWidget& window) {
  const QRect frame = window.frameGeometry();
  const QSize size = box.sizeHint();
  const QRect screen = window.screen() != nullptr ? window.screen()->availableGeometry() : QRect();
  const QPoint places[] = {{frame.right() + kNoticeGap, frame.top()},
                           {frame.left() - kNoticeGap - size.width(), frame.top()},
                           {frame.left(), frame.bottom() + kNoticeGap},
                           {frame.left(), frame.top() - kNoticeGap - size.height()}};
  for (const QPoint& place : places) {
    if (screen.contains(QRect(place, size))) return place;
  }
  return places[0];
}

}  // namespace

MessageBoxSink::MessageBoxSink(QWidget* parent) : parent_(parent) {
  closeNotice_.setSingleShot(true);
  closeNotice_.setInterval(kNoticeOverMs);
  QObject::connect(&closeNotice_, &QTimer::timeout, &desktop_, [this] {
    if (!notice_.isNull()) notice_->close();
  });
}

MessageBoxSink::~MessageBoxSink() { delete notice_.data(); }

void MessageBoxSink::Show(const QString& text) {
  // Without a display no one could dismiss a box, so the text goes to stderr.
  const QString platform = QGuiApplication::platformName();
  if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) {
    std::cerr << text.toStdString() << '\n';
    return;
  }
  QMessageBox box(QMessageBox::NoIcon, kProgramName, text, QMessageBox::Ok, parent_);
  box.setStyleSheet(kBoxStyle);
  box.exec();
}

void MessageBoxSink::Notice(const QString& text) {
  desktop_.Send(text, [this, text] {
    closeNotice_.stop();
    ShowNoticeBox(text);
  });
}

void MessageBoxSink::NoticeOver(const QString& text) {
  desktop_.Send(text, [this, text] {
    ShowNoticeBox(text);
    closeNotice_.start();
  });
}

void MessageBoxSink::ShowNoticeBox(const QString& text) {
  if (notice_.isNull()) {
    notice_ = new QMessageBox(QMessageBox::NoIcon, kProgramName, text, QMessageBox::Ok, parent_);
    notice_->setStyleSheet(kBoxStyle);
    notice_->setModal(false);
    notice_->setAttribute(Qt::WA_DeleteOnClose);
  }
  notice_->setText(text);
  if (parent_ != nullptr) notice_->move(BesideWindow(*notice_, *parent_->window()));
  notice_->show();
}

}  // namespace quillotone
