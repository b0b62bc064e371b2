// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/QuitSignals.h"
#include "app/Translations.h"
#include "app/mpris/MediaPlayer2.h"
#include "framework/Random.h"
#include "framework/audio/SynthHost.h"
#include "framework/midi/MidiOutput.h"
#include "framework/threads/EventLoopScheduler.h"
#include "ui/MessageSink.h"

namespace quillotone {

class MenuBar1;
class JackClient;
class MidiOutput;
class Window1;

// The one file type the program declares. It is never registered with the
// system: the program opens and saves no documents.
struct FileType {
  QString name;
  QString extensions;
  QString macType;
  QString macCreator;
};

// The application object: owns the sound, the shared menu bar and the main
// window, and reports whatever a handler lets escape instead of crashing.
class App : public QApplication {
  Q_OBJECT

 public:
  struct Options {
    // Fixed seed: every start plays the same melody.
    std::optional<std::uint64_t> seed;
    // Sound as the program plays it; tests may ask for none.
    bool sound = true;
    // The popup row selected at start.
    int mode = 0;
    // Empty: the system's default SoundFont.
    std::string soundFont;
    // Also play on a MIDI output port.
    bool midiOut = false;
    // With midiOut: also send MIDI clock there.
    bool midiClock = false;
    // With midiOut: the MIDI system; one named that is not there ends the
    // program before its window opens, with kUsageError.
    MidiSystem midiSystem = MidiSystem::kAny;
    // Where the synth is heard; with kJack, whether its ports go to the
    // system's playback.
    AudioSystem audio = AudioSystem::kAny;
    bool connectPlayback = true;
  };

  App(int& argc, char** argv);
  ~App() override;

  void SetOptions(Options options) { options_ = options; }
  // Where message boxes go; the default shows real ones.
  void SetMessageSink(MessageSink* sink) { messages_ = sink; }
  [[nodiscard]] MessageSink& messages() const { return *messages_; }

  // The start-up steps in their order, for Main to run.
  [[nodiscard]] std::vector<std::function<void()>> StartupSteps();

  void InitFileTypes();
  void NewAppInstance();
  void ApplicationAddMenuHandlers();
  void MakeDefaultView();
  [[nodiscard]] int RunEventLoop();

  // The shared menu bar, made on first use.
  [[nodiscard]] MenuBar1& menuBar1();
  // The one main window: made, built and shown on first use.
  [[nodiscard]] Window1& window1();
  [[nodiscard]] const FileType& textFileType() const { return textFileType_; }
  [[nodiscard]] SynthHost& synthHost() { return synthHost_; }
  // The open MIDI output, if one was asked for and has opened.
  [[nodiscard]] MidiOutput* midiOutput() const;
  [[nodiscard]] int exitStatus() const { return exitStatus_; }
  [[nodiscard]] const MediaPlayer2& mediaPlayer() const { return mediaPlayer_; }

  // Shows the About box. The result says nothing; it is there for the menu.
  bool _aboutquillotone_Action();

  // Reports an exception that nothing else caught: on stderr, and in a box.
  void ReportUnhandled(std::exception_ptr error);

 private:
  void StartSound();
  // The desktop's media keys and controls: MPRIS on the session bus, where
  // there is one.
  void StartMediaControls();
  void QuitAsTheMenuDoes();
  // Ends what the MIDI output's receiver still sounds, as a stop does.
  void EndMidiNotes();
  // Tells the user, once each way, of the MIDI server going and coming back.
  void WatchMidiOutput();
  // Opens the MIDI output, on its own thread.
  void OpenMidiOutput();
  // Waits, before there is a window, for the port's answer or for its
  // server to be told silent.
  void AwaitMidiAnswer();
  // Its answer: none, or what went wrong, for the user.
  void MidiOpened(const std::optional<MidiOutputError>& error);
  // The synth plays where the port does not.
  void FallBackOnTheSynth();
  // A fresh source of draws for a melody about to start, its seed told.
  std::unique_ptr<RandomSource> MakeRandom();

  // First, so every text made afterwards is in the user's language.
  Translations translations_{Translations::InstalledDirectory()};
  Options options_;
  FileType textFileType_;
  // With --audio jack: the client the synth renders in, and the MIDI port is on.
  std::shared_ptr<JackClient> jack_;
  SynthHost synthHost_;
  std::unique_ptr<MidiOutput> midi_;
  QTimer midiWatch_;
  bool midiAnswered_ = false;
  bool midiToldSilent_ = false;
  QEventLoop* midiAnswerWait_ = nullptr;
  bool synthStarted_ = false;
  EventLoopScheduler scheduler_{synthHost_};
  MessageBoxSink messageBoxes_;
  MessageSink* messages_ = &messageBoxes_;
  QPointer<MenuBar1> menuBar_;
  std::unique_ptr<Window1> window_;
  MediaPlayer2 mediaPlayer_;
  int exitStatus_ = 0;
  // Set by a signal: the event loop, not yet running, is not to start.
  bool quitRequested_ = false;
  QuitSignals quitSignals_{[this] { QuitAsTheMenuDoes(); }};
};

// Gives the sound stream the program's name and icon. Call it before any
// thread starts: it sets an environment variable the sound library reads.
void NameSoundStream();

// Runs `steps` in order inside one catch: an exception skips the steps after
// it and is handed to `report`; either way Main returns normally.
void Main(const std::vector<std::function<void()>>& steps,
          const std::function<void(std::exception_ptr)>& report);

}  // namespace quillotone
