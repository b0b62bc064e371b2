// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QRegularExpression>

namespace quillotone {
namespace {

// "de_DE.UTF-8@euro" -> "de_DE": QTranslator finds "de" from there itself.
QString WithoutEncoding(QString locale) {
  const qsizetype end = locale.indexOf(QRegularExpression(QStringLiteral("[.@]")));
  if (end >= 0) locale.truncate(end);
  return locale;
}

bool IsC(const QString& locale) {
  return locale.isEmpty() || locale == QLatin1String("C") || locale == QLatin1String("POSIX");
}

}  // namespace

QStringList Translations::Wanted() {
  QString locale;
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    locale = qEnvironmentVariable(variable);
    if (!locale.isEmpty()) break;
  }
  locale = WithoutEncoding(locale);
  if (IsC(locale)) return {};
  QStringList wanted;
  for (const QString& language :
       qEnvironmentVariable("LANGUAGE").split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
    if (!IsC(WithoutEncoding(language))) wanted << WithoutEncoding(language);
  }
  wanted << locale;
  return wanted;
}

QString Translations::InstalledDirectory() {
  return QCoreApplication::applicationDirPath() +
         QStringLiteral("/../share/quillotone/translations");
}

Translations::Translations(const QString& directory) {
  for (const QString& language : Wanted()) {
    // English is the program's own: nothing to load, and nothing after it.
    if (language == QLatin1String("en") || language.startsWith(QLatin1String("en_"))) return;
    if (program_.load(QStringLiteral("quillotone_") + language, directory)) {
      language_ = language;
      QCoreApplication::installTranslator(&program_);
      if (qt_.load(QStringLiteral("qtbase_") + language,
                   QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(&qt_);
      }
      return;
    }
  }
}

Translations::~Translations() {
  QCoreApplication::removeTranslator(&qt_);
  QCoreApplication::removeTranslator(&program_);
}

}  // namespace quillotone
