// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMenuBar>

class QAction;
class QMenu;

namespace quillotone {

// The program's one menu bar: a menu "About Quillotone" holding the About
// item and Quit. Quit ends the application by itself; About is bound by the
// application object to its handler.
class MenuBar1 : public QMenuBar {
  Q_OBJECT

 public:
  explicit MenuBar1(QWidget* parent = nullptr);

  // The entries, found by name: nullptr if the bar holds none of that name.
  [[nodiscard]] QMenu* FileMenu() const;
  [[nodiscard]] QAction* FileQuit() const;
  [[nodiscard]] QAction* aboutquillotone() const;
};

}  // namespace quillotone
