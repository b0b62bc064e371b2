#include "app/App.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <iostream>

#include "framework/ControlLookup.h"
#include "framework/MidiOutput.h"
#include "framework/SynthNotePlayer.h"
#include "melody/Modes.h"
#include "ui/MenuBar1.h"
#include "ui/Texts.h"
#include "ui/Window1.h"

namespace quillotone {
namespace {

// The environment variable that names a SoundFont to use instead of the
// system's default one.
constexpr char kSoundFontVariable[] = "QUILLOTONE_SOUNDFONT";
// The MIDI output's client and port, as other programs list it.
constexpr char kMidiPortName[] = "Quillotone";
constexpr int kChannel1 = 0;
constexpr int kChannel2 = 1;

std::string Describe(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "an unknown error";
  }
}

}  // namespace

void Main(const std::vector<std::function<void()>>& steps,
          const std::function<void(std::exception_ptr)>& report) {
  try {
    for (const auto& step : steps) step();
  } catch (...) {
    report(std::current_exception());
  }
}

App::App(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(kProgramName);
  setApplicationDisplayName(kProgramName);
  setQuitOnLastWindowClosed(true);
}

App::~App() {
  // The window (its threads and players) goes before the sound it drives.
  window_.reset();
  midi_.reset();
  delete menuBar_.data();  // still here only if no window ever took it
}

std::vector<std::function<void()>> App::StartupSteps() {
  return {
      [this] { InitFileTypes(); },
      [this] { NewAppInstance(); },
      [this] { ApplicationAddMenuHandlers(); },
      [this] { MakeDefaultView(); },
      [this] { exitStatus_ = RunEventLoop(); },
  };
}

void App::InitFileTypes() {
  textFileType_.name = QStringLiteral("text");
  textFileType_.extensions = QString();
  textFileType_.macType = QStringLiteral("TEXT");
  textFileType_.macCreator = QStringLiteral("R*ch");
}

void App::NewAppInstance() { (void)menuBar1(); }

void App::ApplicationAddMenuHandlers() {
  QAction* about = menuBar1().aboutquillotone();
  if (about == nullptr) throw NilObjectException("aboutquillotone");
  connect(about, &QAction::triggered, this, [this] { _aboutquillotone_Action(); });
}

void App::MakeDefaultView() {
  // The port opens first, so the note players are made with it.
  const QString midiProblem = options_.midiOut ? OpenMidiOutput() : QString();
  auto* popup = window1().findChild<QComboBox*>(QStringLiteral("PopupMenu1"));
  if (popup != nullptr && options_.mode >= 0 && options_.mode < popup->count()) {
    popup->setCurrentIndex(options_.mode);
  }
  // Without the port the melody falls back on the synth, whatever was asked.
  if (options_.sound || (options_.midiOut && !midi_)) StartSound();
  if (!midiProblem.isEmpty()) messages_->Show(midiProblem);
}

QString App::OpenMidiOutput() {
  try {
    midi_ = std::make_unique<MidiOutput>(kMidiPortName);
    std::cerr << "quillotone: MIDI output on " << midi_->system() << ", port " << kMidiPortName
              << '\n';
    return {};
  } catch (const MidiOutputError& e) {
    std::cerr << "quillotone: " << e.what() << '\n';
    return QString::fromStdString(e.what()) +
           QStringLiteral("\n\nQuillotone plays through its own synthesizer instead.");
  }
}

std::unique_ptr<RandomSource> App::MakeRandom() {
  const std::uint64_t seed = options_.seed ? *options_.seed : Random::FreshSeed();
  const auto* popup =
      window_ ? window_->findChild<QComboBox*>(QStringLiteral("PopupMenu1")) : nullptr;
  if (const Mode* mode = ModeAt(popup != nullptr ? popup->currentIndex() : -1)) {
    std::cout << "quillotone: playing the " << mode->popupText << ", seed " << seed
              << " (again: quillotone --mode " << ShortName(*mode) << " --seed " << seed << ")"
              << std::endl;
  }
  return std::make_unique<Random>(seed);
}

int App::RunEventLoop() { return exec(); }

MenuBar1& App::menuBar1() {
  if (menuBar_.isNull()) menuBar_ = new MenuBar1();
  return *menuBar_;
}

Window1& App::window1() {
  if (!window_) {
    window_ = std::make_unique<Window1>(WindowServices{
        .scheduler = scheduler_.scheduler(),
        .menuBar = menuBar1(),
        .messages = *messages_,
        .makeNotePlayer = [this](int channel, const QString& name, QObject* parent) -> QObject* {
          return new SynthNotePlayer(synthHost_, scheduler_.scheduler(), channel, name, parent,
                                     midi_.get());
        },
        .makeRandom = [this] { return MakeRandom(); },
        .yield = [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); },
        .afterStopSweep =
            [this] {
              // Whatever the receiving end still holds, it lets go of now.
              if (!midi_) return;
              midi_->AllNotesOff(kChannel1);
              midi_->AllNotesOff(kChannel2);
            },
    });
    messageBoxes_.SetParent(window_.get());
    window_->show();
  }
  return *window_;
}

void App::StartSound() {
  connect(&synthHost_, &SynthHost::failed, this, [this](const QString& problem) {
    messages_->Show(problem + QStringLiteral("\n\nQuillotone keeps working, but plays silently."));
  });
  // Not modal: the window, stop included, goes on working under them.
  connect(&synthHost_, &SynthHost::outputLost, this,
          [this](const QString& problem) { messages_->Notice(problem); });
  connect(&synthHost_, &SynthHost::outputBack, this,
          [this](const QString& news) { messages_->Notice(news); });
  SynthOptions options;
  options.soundFont = options_.soundFont.empty()
                          ? qEnvironmentVariable(kSoundFontVariable).toStdString()
                          : options_.soundFont;
  synthHost_.LoadInBackground(options);
}

bool App::_aboutquillotone_Action() {
  messages_->Show(AboutText());
  return false;
}

void App::ReportUnhandled(std::exception_ptr error) {
  const std::string what = Describe(error);
  std::cerr << "quillotone: unexpected error: " << what << '\n';
  messages_->Show(QStringLiteral("Quillotone met an unexpected error:\n") +
                  QString::fromStdString(what));
}

bool App::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    ReportUnhandled(std::current_exception());
  }
  return false;
}

}  // namespace quillotone
