// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMainWindow>
#include <exception>
#include <functional>
#include <memory>
#include <string_view>

#include "framework/ControlLookup.h"
#include "framework/Random.h"
#include "framework/threads/Scheduler.h"

class QComboBox;
class QPushButton;

namespace quillotone {

class MenuBar1;
class MessageSink;
class Thread;

// What the window is built from, so tests can put recording parts in place
// of sound and message boxes.
struct WindowServices {
  Scheduler& scheduler;
  MenuBar1& menuBar;
  MessageSink& messages;
  // Makes a note player on `channel`, named `name` and owned by `parent`.
  // What it returns is a QObject that is also a NotePlayer.
  std::function<QObject*(int channel, const QString& name, QObject* parent)> makeNotePlayer;
  // A fresh source of draws for each melody that starts.
  std::function<std::unique_ptr<RandomSource>()> makeRandom;
  // Gives the event loop a turn without taking user input.
  std::function<void()> yield;
  // Called when stop has swept every note off, before the thank-you box;
  // may be empty.
  std::function<void()> afterStopSweep;
  // Told of an exception a handler let escape; empty: it goes to stderr.
  std::function<void(std::exception_ptr)> reportError = {};
};

// The application's one window: the mode popup, start and stop, the busy
// indicator, and, never shown, the two note players and the eight melody
// threads. Every handler finds a member by name at the moment of use.
class Window1 : public QMainWindow, public ControlLookup {
  Q_OBJECT

 public:
  static constexpr int kContentWidth = 300;
  static constexpr int kContentHeight = 250;
  static constexpr int kTextSize = 12;

  explicit Window1(WindowServices services, QWidget* parent = nullptr);

  void play_Action();
  void stop_Action();

  // A press of start or stop asked for from outside the window (the
  // desktop's media keys and controls): the button's own handler, when the
  // button could be pressed. A start asked for while stop still sweeps the
  // notes off follows as soon as the sweep is done.
  void Start();
  void Stop();

  // ControlLookup: how the melody threads reach the window's members.
  NotePlayer* FindNotePlayer(std::string_view name) override;
  std::optional<bool> FindEnabled(std::string_view name) override;

 signals:
  // The window went to its playing state, or back to idle.
  void playingChanged(bool playing);

 private:
  void Layout();
  void CreateControls();
  // Runs a handler as the event loop calls it: whatever it throws is
  // reported here, since nothing may unwind through Qt's event delivery.
  void Guarded(void (Window1::*handler)());
  void StartAsked();
  void StopAsked();

  // The member of that name and type; the nil-object error if there is none.
  template <typename T>
  T& Member(std::string_view name) const;
  NotePlayer& NotePlayerMember(std::string_view name);

  WindowServices services_;
  QWidget* content_ = nullptr;
  // Stop's notes-off sweep is running, and a start waits for its end.
  bool sweeping_ = false;
  bool startAfterSweep_ = false;
};

}  // namespace quillotone
