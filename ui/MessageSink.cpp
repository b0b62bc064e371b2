#include "ui/MessageSink.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <iostream>

#include "ui/Texts.h"

namespace quillotone {

void MessageBoxSink::Show(const QString& text) {
  // Without a display no one could dismiss a box, so the text goes to stderr.
  const QString platform = QGuiApplication::platformName();
  if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) {
    std::cerr << text.toStdString() << '\n';
    return;
  }
  QMessageBox box(QMessageBox::NoIcon, kProgramName, text, QMessageBox::Ok, parent_);
  // Wide enough that a web address is not broken over lines.
  box.setStyleSheet(QStringLiteral("QLabel { min-width: 34em; }"));
  box.exec();
}

}  // namespace quillotone
