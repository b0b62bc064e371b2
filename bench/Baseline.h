// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The straightforward design, for comparison: the synth is made before the
// window with the whole SoundFont in memory and its output open throughout;
// each note goes to the synth the moment the melody plays it; waits are
// timed by the system clock, either by a timer or by spinning (checking the
// clock on every turn of the event loop, as a cooperative thread's busy wait
// does).
#include <fluidsynth.h>

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <stdexcept>
#include <string>

#include "framework/NotePlayer.h"
#include "framework/Playhead.h"
#include "framework/threads/Scheduler.h"

namespace quillotone::bench {

class BaselineSynth {
 public:
  BaselineSynth(const std::string& soundFont, int periodFrames, int periods) {
    settings_ = new_fluid_settings();
    fluid_settings_setnum(settings_, "synth.gain", 0.6);
    fluid_settings_setint(settings_, "audio.period-size", periodFrames);
    fluid_settings_setint(settings_, "audio.periods", periods);
    fluid_settings_setstr(settings_, "audio.driver", "pulseaudio");
    synth_ = new_fluid_synth(settings_);
    if (synth_ == nullptr || fluid_synth_sfload(synth_, soundFont.c_str(), 1) == FLUID_FAILED) {
      throw std::runtime_error("baseline: could not load " + soundFont);
    }
    driver_ = new_fluid_audio_driver(settings_, synth_);
    if (driver_ == nullptr) throw std::runtime_error("baseline: no audio output");
  }
  ~BaselineSynth() {
    if (driver_ != nullptr) delete_fluid_audio_driver(driver_);
    delete_fluid_synth(synth_);
    delete_fluid_settings(settings_);
  }
  BaselineSynth(const BaselineSynth&) = delete;
  BaselineSynth& operator=(const BaselineSynth&) = delete;

  [[nodiscard]] fluid_synth_t* get() const { return synth_; }

 private:
  fluid_settings_t* settings_ = nullptr;
  fluid_synth_t* synth_ = nullptr;
  fluid_audio_driver_t* driver_ = nullptr;
};

class WallPlayhead final : public Playhead {
 public:
  WallPlayhead() { wall_.start(); }
  [[nodiscard]] double Microseconds() const override { return wall_.nsecsElapsed() / 1000.0; }
  [[nodiscard]] double HeardAtMonotonicMicros(double micros) const override { return micros; }
  void DropScheduled(std::uint32_t) override {}

 private:
  QElapsedTimer wall_;
};

class DirectNotePlayer final : public QObject, public NotePlayer {
 public:
  DirectNotePlayer(fluid_synth_t* synth, int channel, const QString& name, QObject* parent)
      : QObject(parent), synth_(synth), channel_(channel) {
    setObjectName(name);
  }
  void PlayNote(int note, int velocity) override {
    if (note < 0 || note > 127 || velocity < 0 || velocity > 127) return;
    if (velocity == 0) {
      fluid_synth_noteoff(synth_, channel_, note);
    } else {
      fluid_synth_noteon(synth_, channel_, note, velocity);
    }
  }
  [[nodiscard]] int Instrument() const override { return instrument_; }
  void SetInstrument(int instrument) override {
    instrument_ = instrument;
    if (instrument >= 1 && instrument <= 128) {
      fluid_synth_program_change(synth_, channel_, instrument - 1);
    }
  }

 private:
  fluid_synth_t* synth_;
  int channel_;
  int instrument_ = 1;
};

// Drives a scheduler by spinning: while any thread waits, every turn of the
// event loop checks the clock again.
class SpinDriver : public QObject {
 public:
  explicit SpinDriver(Playhead& playhead) : scheduler_(playhead) {
    spin_.setInterval(0);
    connect(&spin_, &QTimer::timeout, this, [this] {
      scheduler_.RunReady();
      scheduler_.RunDue();
      if (!scheduler_.HasReady() && !scheduler_.NextDeadline()) spin_.stop();
    });
    scheduler_.SetWakeHook([this] {
      if (!spin_.isActive()) spin_.start();
    });
  }
  [[nodiscard]] Scheduler& scheduler() { return scheduler_; }

 private:
  Scheduler scheduler_;
  QTimer spin_;
};

}  // namespace quillotone::bench
