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
#include "framework/jack/JackClient.h"
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
// How long the MIDI output's server has to answer before it is said not to.
constexpr int kMidiOpenAnswerMs = 3000;

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
  if (options_.audio == AudioSystem::kJack) {
    jack_ = JackClient::Make({.name = kMidiPortName,
                              .midi = options_.midiOut,
                              .audio = true,
                              .connectPlayback = options_.connectPlayback});
  }
  synthHost_.PlayOn(options_.audio, jack_);
  // The port opens first (on its own thread), so the note players are made
  // with it.
  if (options_.midiOut) {
    OpenMidiOutput();
    // A MIDI system the user named must be there before a window is: its
    // answer is awaited, no longer than the server is given to answer.
    if (options_.midiSystem != MidiSystem::kAny) AwaitMidiAnswer();
    if (quitRequested_) return;
  }
  auto* popup = window1().findChild<QComboBox*>(QStringLiteral("PopupMenu1"));
  if (popup != nullptr && options_.mode >= 0 && options_.mode < popup->count()) {
    popup->setCurrentIndex(options_.mode);
  }
  if (options_.sound) StartSound();
  StartMediaControls();
  // The port sends each note to be heard with the synth's.
  synthHost().SetTimingWanted(midi_ != nullptr);
}

void App::OpenMidiOutput() {
  midiAnswered_ = false;
  midiToldSilent_ = false;
  midi_ = std::make_unique<MidiOutput>(
      kMidiPortName, options_.midiClock, options_.midiSystem,
      [this](const std::optional<MidiOutputError>& error) { MidiOpened(error); }, jack_);
  connect(&midiWatch_, &QTimer::timeout, this, &App::WatchMidiOutput);
  midiWatch_.start(MidiOutput::kWatchMs);
  // A server that does not answer (JACK stopped or hung) is told, and the
  // synth plays meanwhile; the port still opens once the server answers.
  QTimer::singleShot(kMidiOpenAnswerMs, this, [this] {
    if (midiAnswered_) return;
    midiToldSilent_ = true;
    if (midiAnswerWait_ != nullptr) midiAnswerWait_->quit();
    Tell(
        tr("the MIDI output's server does not answer (JACK stopped or hung?); the port opens "
           "once it does"));
    FallBackOnTheSynth();
    messages_->Notice(
        tr("The MIDI output's server does not answer: JACK may be stopped or hung. Quillotone "
           "plays through its own synthesizer, and the port opens as soon as the server "
           "answers."));
  });
}

void App::AwaitMidiAnswer() {
  QEventLoop wait;
  midiAnswerWait_ = &wait;
  wait.exec();
  midiAnswerWait_ = nullptr;
}

MidiOutput* App::midiOutput() const { return midi_ && midi_->open() ? midi_.get() : nullptr; }

void App::MidiOpened(const std::optional<MidiOutputError>& error) {
  midiAnswered_ = true;
  if (midiAnswerWait_ != nullptr) midiAnswerWait_->quit();
  if (!error) {
    Tell(tr("MIDI output on %1, port %2")
             .arg(QString::fromStdString(midi_->system()),
                  QString::fromStdString(midi_->portName())));
    if (WantsLibraryDetails()) {
      std::cerr << "quillotone: MIDI on " << midi_->system() << ": " << midi_->why() << '\n';
    }
    if (midiToldSilent_) {
      messages_->NoticeOver(
          tr("The MIDI output is open: port %1.").arg(QString::fromStdString(midi_->portName())));
    }
    return;
  }
  std::cerr << "quillotone: " << error->what() << '\n';
  midiWatch_.stop();
  if (options_.midiSystem != MidiSystem::kAny && !window_) {
    // The user named a MIDI system that is not there: nothing to fall back on.
    quitRequested_ = true;
    exitStatus_ = kUsageError;
    return;
  }
  FallBackOnTheSynth();
  // The error's own text is already in the user's language.
  messages_->Show(QString::fromStdString(error->what()) + QStringLiteral("\n\n") +
                  tr("Quillotone plays through its own synthesizer instead."));
}

void App::FallBackOnTheSynth() {
  // Without the port the melody falls back on the synth, whatever was asked.
  synthHost().SetTimingWanted(false);
  if (!options_.sound && !synthStarted_) StartSound();
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
  const MidiPort::Change change = midi_->Watch();
  // On the synth's own JACK client, the sound output tells of its server.
  if (jack_ != nullptr) return;
  switch (change) {
    case MidiPort::Change::kNone:
      break;
    case MidiPort::Change::kLost:
      Tell(tr("the %1 server of the MIDI output went away; looking for it again")
               .arg(QString::fromStdString(midi_->system())));
      messages_->Notice(tr("The %1 server that carries Quillotone's MIDI output went away. %2 The "
                           "port comes back by itself as soon as the server is running again.")
                            .arg(QString::fromStdString(midi_->system()),
                                 synthStarted_ ? tr("The built-in synthesizer plays on.")
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
  synthStarted_ = true;
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
