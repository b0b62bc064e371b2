// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/MenuBar1.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>

namespace quillotone {

MenuBar1::MenuBar1(QWidget* parent) : QMenuBar(parent) {
  setObjectName(QStringLiteral("MenuBar1"));

  QMenu* menu = addMenu(tr("About Quillotone"));
  menu->setObjectName(QStringLiteral("FileMenu"));

  QAction* about = menu->addAction(tr("About Quillotone"));
  about->setObjectName(QStringLiteral("aboutquillotone"));
  // Keep both items where they are on every platform.
  about->setMenuRole(QAction::NoRole);

  QAction* quit = menu->addAction(tr("Quit"));
  quit->setObjectName(QStringLiteral("FileQuit"));
  // The platform's Quit key where it names one; Ctrl+Q, the usual, otherwise.
  quit->setShortcuts(QKeySequence::Quit);
  if (quit->shortcut().isEmpty()) quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  quit->setMenuRole(QAction::NoRole);
  // Queued, so a quit chosen inside a handler lets that handler finish first.
  connect(
      quit, &QAction::triggered, this, [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
}

QMenu* MenuBar1::FileMenu() const { return findChild<QMenu*>(QStringLiteral("FileMenu")); }

QAction* MenuBar1::FileQuit() const { return findChild<QAction*>(QStringLiteral("FileQuit")); }

QAction* MenuBar1::aboutquillotone() const {
  return findChild<QAction*>(QStringLiteral("aboutquillotone"));
}

}  // namespace quillotone
