// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/App.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <cstdlib>
#include <iostream>

#include "app/CommandLine.h"
#include "framework/Channels.h"
#include "framework/ControlLookup.h"
#include "framework/audio/FluidLog.h"
#include "framework/audio/SynthNotePlayer.h"
#include "framework/midi/MidiOutput.h"
#include "framework/midi/MidiPort.h"
#include "melody/Modes.h"
#include "ui/MenuBar1.h"
#include "ui/Texts.h"
#include "ui/Window1.h"

namespace quillotone {
namespace {

// The MIDI output's client and port, as other programs list it.
constexpr char kMidiPortName[] = "Quillotone";
// How often the MIDI output looks whether its server went or came back.
constexpr int kMidiWatchMs = 500;

// The installed desktop entry and icon are named by it (data/CMakeLists.txt),
// so desktops match the window and the sound stream to them.
constexpr char kAppId[] = QUILLOTONE_APP_ID;

// The icon comes inside the executable where it was built with one.
QIcon WindowIcon() {
  QIcon icon;
  for (int size : {48, 64, 128, 256}) {
    const QString file = QStringLiteral(":/icons/%1.png").arg(size);
    if (QFile::exists(file)) icon.addFile(file);
  }
  return icon;
}

// What the exception says; nothing for one that is no std::exception.
std::string Describe(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return {};
  }
}

// One line on stderr, in the user's language.
void Tell(const QString& line) { std::cerr << "quillotone: " << line.toStdString() << '\n'; }

}  // namespace

void NameSoundStream() {
  // FluidSynth's PulseAudio output calls itself "FluidSynth"; these take its
  // place in the desktop's sound settings, on PipeWire's pulse service too.
  // What the user set in the variable comes last and so wins.
  std::string properties = std::string("application.name=\"Quillotone\" application.id=") + kAppId +
                           " application.icon_name=" + kAppId +
                           " media.name=\"Quillotone\" media.role=music";
  if (const char* own = std::getenv("PULSE_PROP_OVERRIDE")) properties += std::string(" ") + own;
  setenv("PULSE_PROP_OVERRIDE", properties.c_str(), 1);
}

void Main(const std::vector<std::function<void()>>& steps,
          const std::function<void(std::exception_ptr)>& report) {
  try {
    for (const auto& step : steps) step();
  } catch (...) {
    report(std::current_exception());
  }
}

App::App(int& argc, char** argv)
    : QApplication(argc, argv), mediaPlayer_(kProgramName, QString::fromLatin1(kAppId)) {
  setApplicationName(kProgramName);
  setApplicationDisplayName(kProgramName);
  setQuitOnLastWindowClosed(true);
  setDesktopFileName(QString::fromLatin1(kAppId));
  setWindowIcon(WindowIcon());
}

App::~App() {
  // The window (its threads and players) goes before the sound it drives.
  window_.reset();
  // Quitting while a melody plays leaves notes sounding on the receiving end.
  EndMidiNotes();
  midiWatch_.stop();
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
  connect(about, &QAction::triggered, this, [this] {
    // Nothing may unwind through Qt's event delivery: report it here.
    try {
      _aboutquillotone_Action();
    } catch (...) {
      ReportUnhandled(std::current_exception());
    }
  });
}

void App::MakeDefaultView() {
  // The port opens first, so the note players are made with it.
  const QString midiProblem = options_.midiOut ? OpenMidiOutput() : QString();
  if (!midiProblem.isEmpty() && options_.midiSystem != MidiSystem::kAny) {
    // The user named a MIDI system that is not there: nothing to fall back on.
    quitRequested_ = true;
    exitStatus_ = kUsageError;
    return;
  }
  auto* popup = window1().findChild<QComboBox*>(QStringLiteral("PopupMenu1"));
  if (popup != nullptr && options_.mode >= 0 && options_.mode < popup->count()) {
    popup->setCurrentIndex(options_.mode);
  }
  // Without the port the melody falls back on the synth, whatever was asked.
  if (options_.sound || (options_.midiOut && !midi_)) StartSound();
  StartMediaControls();
  // The port sends each note to be heard with the synth's.
  synthHost().SetTimingWanted(midi_ != nullptr);
  if (!midiProblem.isEmpty()) messages_->Show(midiProblem);
}

QString App::OpenMidiOutput() {
  try {
    midi_ = std::make_unique<MidiOutput>(kMidiPortName, options_.midiClock, options_.midiSystem);
    Tell(tr("MIDI output on %1, port %2")
             .arg(QString::fromLatin1(midi_->system()), QString::fromStdString(midi_->portName())));
    if (WantsLibraryDetails()) {
      std::cerr << "quillotone: MIDI on " << midi_->system() << ": " << midi_->why() << '\n';
    }
    connect(&midiWatch_, &QTimer::timeout, this, &App::WatchMidiOutput);
    midiWatch_.start(kMidiWatchMs);
    return {};
  } catch (const MidiOutputError& e) {
    std::cerr << "quillotone: " << e.what() << '\n';
    return QCoreApplication::translate("MidiOutput", MidiOutputError::kText)
               .arg(QString::fromStdString(e.reason())) +
           QStringLiteral("\n\n") + tr("Quillotone plays through its own synthesizer instead.");
  }
}

std::unique_ptr<RandomSource> App::MakeRandom() {
  const std::uint64_t seed = options_.seed ? *options_.seed : Random::FreshSeed();
  const auto* popup =
      window_ ? window_->findChild<QComboBox*>(QStringLiteral("PopupMenu1")) : nullptr;
  if (const Mode* mode = ModeAt(popup != nullptr ? popup->currentIndex() : -1)) {
    const QString line = tr("playing the %1, seed %2 (again: quillotone --mode %3 --seed %2)")
                             .arg(QCoreApplication::translate("Modes", mode->popupText.data()),
                                  QString::number(seed), QLatin1StringView(ShortName(*mode)));
    std::cout << "quillotone: " << line.toStdString() << std::endl;
  }
  return std::make_unique<Random>(seed);
}

int App::RunEventLoop() { return quitRequested_ ? exitStatus_ : exec(); }

void App::QuitAsTheMenuDoes() {
  quitRequested_ = true;
  QAction* quit = menuBar_.isNull() ? nullptr : menuBar_->FileQuit();
  if (quit != nullptr) {
    quit->trigger();
  } else {
    QCoreApplication::quit();
  }
}

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
        .afterStopSweep = [this] { EndMidiNotes(); },
        .reportError = [this](std::exception_ptr error) { ReportUnhandled(error); },
    });
    messageBoxes_.SetParent(window_.get());
    window_->show();
  }
  return *window_;
}

void App::EndMidiNotes() {
  if (!midi_) return;
  midi_->EndSoundingNotes();
  // Whatever the receiving end still holds, it lets go of now.
  midi_->AllNotesOff(kNotePlayer1Channel);
  midi_->AllNotesOff(kNotePlayer2Channel);
  midi_->StopClock();
}

void App::WatchMidiOutput() {
  switch (midi_->Watch()) {
    case MidiPort::Change::kNone:
      break;
    case MidiPort::Change::kLost:
      Tell(tr("the %1 server of the MIDI output went away; looking for it again")
               .arg(QString::fromLatin1(midi_->system())));
      messages_->Notice(tr("The %1 server that carries Quillotone's MIDI output went away. %2 The "
                           "port comes back by itself as soon as the server is running again.")
                            .arg(QString::fromLatin1(midi_->system()),
                                 options_.sound ? tr("The built-in synthesizer plays on.")
                                                : tr("Nothing is heard meanwhile: the built-in "
                                                     "synthesizer is off (--no-synth).")));
      break;
    case MidiPort::Change::kBack:
      Tell(tr("the MIDI output is back, port %1").arg(QString::fromStdString(midi_->portName())));
      messages_->Notice(
          tr("The MIDI output is back: port %1.").arg(QString::fromStdString(midi_->portName())));
      break;
  }
}

void App::StartSound() {
  connect(&synthHost_, &SynthHost::failed, this, [this](const QString& problem) {
    // The loader's own failure is looked up here; the synth's come translated.
    messages_->Show(QCoreApplication::translate("Synth", problem.toUtf8().constData()) +
                    QStringLiteral("\n\n") + tr("Quillotone keeps working, but plays silently."));
  });
  // Not modal: the window, stop included, goes on working under them.
  connect(&synthHost_, &SynthHost::outputLost, this,
          [this](const QString& problem) { messages_->Notice(problem); });
  connect(&synthHost_, &SynthHost::outputBack, this,
          [this](const QString& news) { messages_->NoticeOver(news); });
  // The loader chooses among it, the variable and the system's.
  synthHost_.LoadInBackground({.soundFont = options_.soundFont});
}

void App::StartMediaControls() {
  Window1& window = window1();
  auto* popup = window.findChild<QComboBox*>(QStringLiteral("PopupMenu1"));
  if (popup == nullptr) throw NilObjectException("PopupMenu1");
  connect(&window, &Window1::playingChanged, &mediaPlayer_, &MediaPlayer2::SetPlaying);
  // The row shown is the one that plays: the popup is locked while it does.
  const auto track = [this, popup] {
    mediaPlayer_.SetTrack(popup->currentIndex(), popup->currentText());
  };
  track();
  connect(popup, &QComboBox::currentIndexChanged, &mediaPlayer_, track);
  // Queued: the desktop has its answer before the window acts, and waits for
  // no thank-you box.
  connect(&mediaPlayer_, &MediaPlayer2::playRequested, &window, &Window1::Start,
          Qt::QueuedConnection);
  connect(&mediaPlayer_, &MediaPlayer2::stopRequested, &window, &Window1::Stop,
          Qt::QueuedConnection);
  connect(&mediaPlayer_, &MediaPlayer2::raiseRequested, &window, [&window] {
    window.show();
    window.raise();
    window.activateWindow();
  });
  connect(&mediaPlayer_, &MediaPlayer2::quitRequested, this, &App::QuitAsTheMenuDoes);
  (void)mediaPlayer_.Register();
}

bool App::_aboutquillotone_Action() {
  messages_->Show(AboutText());
  return false;
}

void App::ReportUnhandled(std::exception_ptr error) {
  QString what = QString::fromStdString(Describe(error));
  if (what.isEmpty()) what = tr("an unknown error");
  Tell(tr("unexpected error: %1").arg(what));
  messages_->Show(tr("Quillotone met an unexpected error:") + QLatin1Char('\n') + what);
}

}  // namespace quillotone
