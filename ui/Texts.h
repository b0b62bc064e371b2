// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

namespace quillotone {

// The program's own words, kept in one place. Each sentence is looked up in
// the user's language (app/Translations); without a translation, or in the C
// and English locales, it is the English written here.
inline const QString kProgramName = QStringLiteral("Quillotone");

// Until the project has a site of its own, its addresses use the reserved
// ".example" domain, so they point at no one else's.
inline const QString kContactEmail = QStringLiteral("hello@quillotone.example");
inline const QString kWebAddress = QStringLiteral("https://www.quillotone.example");
inline const QString kWebHost = QStringLiteral("www.quillotone.example");
inline const QString kPaymentPath = QStringLiteral("/quillotoneweb/quillotonepayment.html");

// Lines are joined with the platform's line ending, with none after the last.
inline QString JoinLines(const QStringList& lines) { return lines.join(QLatin1Char('\n')); }

inline QString ThankYouText() {
  return JoinLines({
      QCoreApplication::translate("Texts", "Thanks for listening to this quillotone."),
      QCoreApplication::translate("Texts",
                                  "If you enjoyed it and would like to make a donation of 49p "
                                  "(£0.49) then please visit"),
      kWebHost + kPaymentPath,
      QCoreApplication::translate("Texts", "Thank you."),
  });
}

inline QString AboutText() {
  return JoinLines({
      kProgramName,
      QCoreApplication::translate(
          "Texts", "Quillotone plays a melody using notes from a selected mode or scale."),
      QCoreApplication::translate(
          "Texts",
          "There are eight choices of mode or scale, the six principal ecclesiatistical modes "
          "(dorian, phrygian, lydian, mixolydian, aeolian, ionian as well as the blues scale and "
          "the pentatonic scale)."),
      QCoreApplication::translate("Texts",
                                  "The rhythm of the melody is a transcription of a melody that I "
                                  "heard whilst be put ‘on hold’ during a recent telephone call."),
      QCoreApplication::translate("Texts",
                                  "The machine will run indefinitely until stopped by the user."),
      QCoreApplication::translate("Texts", "Quillotone by the Quillotone developers"),
      kContactEmail,
      kWebAddress,
  });
}

}  // namespace quillotone
