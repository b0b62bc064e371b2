// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace quillotone {

// The program's own words, kept in one place.
inline const QString kProgramName = QStringLiteral("Quillotone");

// Until the project has a site of its own, its addresses use the reserved
// ".example" domain, so they point at no one else's.
inline const QString kAuthorLine = QStringLiteral("Quillotone by the Quillotone developers");
inline const QString kContactEmail = QStringLiteral("hello@quillotone.example");
inline const QString kWebAddress = QStringLiteral("https://www.quillotone.example");
inline const QString kWebHost = QStringLiteral("www.quillotone.example");
inline const QString kPaymentPath = QStringLiteral("/quillotoneweb/quillotonepayment.html");

// Lines are joined with the platform's line ending, with none after the last.
inline QString JoinLines(const QStringList& lines) { return lines.join(QLatin1Char('\n')); }

inline QString ThankYouText() {
  return JoinLines({
      QStringLiteral("Thanks for listening to this quillotone."),
      QString::fromUtf8(
          "If you enjoyed it and would like to make a donation of 49p (\u00a30.49) then "
          "please visit"),
      kWebHost + kPaymentPath,
      QStringLiteral("Thank you."),
  });
}

inline QString AboutText() {
  return JoinLines({
      QStringLiteral("Quillotone"),
      QStringLiteral("Quillotone plays a melody using notes from a selected mode or scale."),
      QStringLiteral("There are eight choices of mode or scale, the six principal ecclesiatistical "
                     "modes (dorian, phrygian, lydian, mixolydian, aeolian, ionian as well as the "
                     "blues scale and the pentatonic scale)."),
      QString::fromUtf8(
          "The rhythm of the melody is a transcription of a melody that I heard whilst "
          "be put \u2018on hold\u2019 during a recent telephone call."),
      QStringLiteral("The machine will run indefinitely until stopped by the user."),
      kAuthorLine,
      kContactEmail,
      kWebAddress,
  });
}

}  // namespace quillotone
