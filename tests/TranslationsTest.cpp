// SPDX-License-Identifier: GPL-3.0-or-later
// The language the program speaks, chosen from the environment as gettext
// chooses it, read off the real window, its menu and its boxes.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QPushButton>

#include "app/App.h"
#include "support/PopupRows.h"
#include "support/Program.h"
#include "support/QtPrinters.h"
#include "ui/MenuBar1.h"
#include "ui/Texts.h"
#include "ui/Window1.h"

namespace quillotone {
namespace {

struct Locale {
  const char* language;  // LANGUAGE
  const char* lcAll;     // LC_ALL
  const char* lang;      // LANG
  // What the user meets: start, the menu, the last popup row, the thank-you
  // box's first line. Every popup row reads in full.
  QStringList texts;
};

const QStringList kEnglish = {"start", "About Quillotone", "Quit", "pentatonic scale",
                              "Thanks for listening to this quillotone."};
const QStringList kGerman = {"Start", "Über Quillotone", "Beenden", "Pentatonik",
                             "Danke, dass Sie diesem Quillotone zugehört haben."};
const QStringList kFrench = {"démarrer", "À propos de Quillotone", "Quitter", "gamme pentatonique",
                             "Merci d’avoir écouté ce quillotone."};
const QStringList kSpanish = {"iniciar", "Acerca de Quillotone", "Salir", "escala pentatónica",
                              "Gracias por escuchar este quillotone."};

void PrintTo(const Locale& locale, std::ostream* out) {
  *out << "LANGUAGE=" << locale.language << " LC_ALL=" << locale.lcAll << " LANG=" << locale.lang;
}

class TranslationsTest : public ::testing::TestWithParam<Locale> {};

TEST_P(TranslationsTest, TheWindowSpeaksTheLanguageTheLocaleAsksFor) {
  const Locale& locale = GetParam();
  qputenv("LANGUAGE", locale.language);
  qputenv("LC_ALL", locale.lcAll);
  qputenv("LANG", locale.lang);
  qunsetenv("LC_MESSAGES");
  int argc = 1;
  char* argv[] = {const_cast<char*>("app_tests"), nullptr};
  App app(argc, argv);
  testing::StartUp(app, {.seed = 1, .sound = false, .mode = 0, .soundFont = {}, .midiOut = false});
  const auto* popup = app.window1().findChild<QComboBox*>("PopupMenu1");
  EXPECT_EQ(QStringList({app.window1().findChild<QPushButton*>("play")->text(),
                         app.menuBar1().FileMenu()->title(), app.menuBar1().FileQuit()->text(),
                         popup->itemText(popup->count() - 1), ThankYouText().section('\n', 0, 0)}),
            locale.texts);
  EXPECT_EQ(testing::RowsCutShort(*popup), QStringList());
}

INSTANTIATE_TEST_SUITE_P(
    Locales, TranslationsTest,
    ::testing::Values(Locale{"", "", "de_DE.UTF-8", kGerman},
                      Locale{"", "fr_FR.UTF-8", "de_DE.UTF-8", kFrench},
                      Locale{"es:de", "", "fr_FR.UTF-8", kSpanish},
                      Locale{"it:fr", "", "de_AT", kFrench}, Locale{"de", "C", "", kEnglish},
                      Locale{"", "", "en_GB.UTF-8", kEnglish},
                      Locale{"", "", "pt_BR.UTF-8", kEnglish}, Locale{"", "", "", kEnglish}),
    [](const ::testing::TestParamInfo<Locale>& info) {
      QString name = QStringLiteral("LANGUAGE_%1_LC_ALL_%2_LANG_%3")
                         .arg(info.param.language, info.param.lcAll, info.param.lang);
      return name.replace(QRegularExpression("[^A-Za-z0-9]"), "_").toStdString();
    });

}  // namespace
}  // namespace quillotone
