// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <QTranslator>

namespace quillotone {

// The program's words in the user's language: its own translations
// (quillotone_LL.qm) and Qt's (qtbase_LL.qm, the boxes' buttons), installed
// on the application while this lives. The language is chosen as gettext
// chooses it: LC_ALL, else LC_MESSAGES, else LANG names the locale; in the C
// (or POSIX) locale the texts stay English whatever LANGUAGE says; otherwise
// LANGUAGE's list, where set, comes first. English, or a language without a
// translation, leaves the English texts.
class Translations final {
 public:
  // `directory`: where the program's .qm files are.
  explicit Translations(const QString& directory);
  ~Translations();
  Translations(const Translations&) = delete;
  Translations& operator=(const Translations&) = delete;

  // The languages the environment asks for, in order of preference, each
  // without its encoding or modifier ("de_DE"); empty in the C locale.
  [[nodiscard]] static QStringList Wanted();
  // Where an installed program keeps its .qm files: share/quillotone/
  // translations beside its bin/. The build tree has them in the same place.
  [[nodiscard]] static QString InstalledDirectory();

  // The language whose translation is installed; empty for English.
  [[nodiscard]] const QString& language() const { return language_; }

 private:
  QTranslator program_;
  QTranslator qt_;
  QString language_;
};

}  // namespace quillotone
