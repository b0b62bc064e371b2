// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/MessageSink.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <iostream>

#include "ui/Texts.h"

namespace quillotone {
namespace {

// Wide enough that a web address is not broken over lines.
const QString kBoxStyle = QStringLiteral("QLabel { min-width: 34em; }");

}  // namespace

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
  if (notice_.isNull()) {
    notice_ = new QMessageBox(QMessageBox::NoIcon, kProgramName, text, QMessageBox::Ok, parent_);
    notice_->setStyleSheet(kBoxStyle);
    notice_->setModal(false);
    notice_->setAttribute(Qt::WA_DeleteOnClose);
  }
  notice_->setText(text);
  notice_->show();
}

}  // namespace quillotone
