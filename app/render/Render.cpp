// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/render/Render.h"

#include <unistd.h>

#include <QCoreApplication>
#include <cerrno>
#include <cstdlib>
#include <exception>
#include <memory>

#include "app/render/AudioSink.h"
#include "app/render/MidiSink.h"
#include "app/render/Progress.h"
#include "app/render/RenderClock.h"
#include "app/render/RenderTarget.h"
#include "app/render/Score.h"
#include "framework/Printable.h"
#include "framework/Random.h"
#include "framework/Units.h"
#include "framework/audio/SoundFontChoice.h"
#include "framework/audio/SoundFontFile.h"
#include "framework/threads/Scheduler.h"
#include "melody/Melody.h"
#include "melody/Modes.h"

namespace quillotone {
namespace {

// What ends a render early: the exit status and the one line that says why.
struct RenderFailure {
  int status;
  std::string message;
};

// The SoundFont a render plays with, as the window chooses it; one the
// variable names is checked here, as the command line checks its own.
std::string SoundFontFor(const Invocation& invocation) {
  SoundFontChoice choice;
  try {
    choice = ChooseSoundFont(invocation.soundFont);
  } catch (const SynthError& e) {
    throw RenderFailure{kUsageError, e.what()};
  }
  if (choice.namedBy == kSoundFontVariable) {
    if (const std::optional<std::string> problem = SoundFontProblem(choice.path)) {
      throw RenderFailure{kUsageError, std::string(kSoundFontVariable) + ": " + *problem};
    }
  }
  return choice.path;
}

std::string WhatFailed(const AudioFileError& error) {
  if (error.code() == EPIPE) {
    return QCoreApplication::translate(
               "Render",
               "the reader went away before the end (the pipe was closed); the render stopped")
        .toStdString();
  }
  return error.what();
}

// Renders, and returns the seed it played. Throws RenderFailure.
std::uint64_t RenderMelody(const Invocation& invocation, std::ostream& errors) {
  const QString shown = invocation.renderPath == kStandardOutput
                            ? QCoreApplication::translate("Render", "standard output")
                            : QString::fromStdString(Printable(invocation.renderPath));
  const auto cannot = [&](int status, const std::string& why) {
    return RenderFailure{status, QCoreApplication::translate("Render", "cannot render to %1: %2")
                                     .arg(shown, QString::fromStdString(why))
                                     .toStdString()};
  };
  const Mode* mode = ModeAt(invocation.mode);
  if (mode == nullptr) {
    throw cannot(kUsageError, QCoreApplication::translate("Render", "no such mode").toStdString());
  }
  const bool audio = !invocation.renderFormat.midi;
  // A MIDI render plays none, but one named is still not to be written over.
  const std::string soundFont = audio ? SoundFontFor(invocation) : invocation.soundFont;
  const std::uint64_t seed = invocation.seed ? *invocation.seed : Random::FreshSeed();

  std::unique_ptr<RenderTarget> target;
  try {
    target = std::make_unique<RenderTarget>(invocation.renderPath, [&] {
      // Waiting is right, as for any program, but on a terminal looks like a hang.
      if (isatty(STDERR_FILENO) == 1) {
        errors
            << "quillotone: "
            << QCoreApplication::translate(
                   "Render",
                   "%1 is a FIFO with no reader yet; the render waits for one (Ctrl+C to cancel)")
                   .arg(shown)
                   .toStdString()
            << std::endl;
      }
    });
  } catch (const RenderTargetError& e) {
    throw cannot(kUsageError, e.what());
  }
  if (!soundFont.empty() && target->Overwrites(soundFont)) {
    throw cannot(kUsageError,
                 QCoreApplication::translate(
                     "Render", "it is the SoundFont in use (%1); render to another name")
                     .arg(QString::fromStdString(Printable(soundFont)))
                     .toStdString());
  }
  std::unique_ptr<NoteSink> sink;
  try {
    if (audio) {
      sink = std::make_unique<AudioSink>(
          soundFont,
          AudioFormatFor(invocation.renderFormat, invocation.renderMicros / kMicrosPerSecond),
          target->fd(),
          target->streams() ? AudioFileWriter::Output::Stream : AudioFileWriter::Output::File);
    } else {
      sink = std::make_unique<MidiSink>(
          "Quillotone: " + std::string(mode->popupText) + ", seed " + std::to_string(seed),
          target->fd());
    }
  } catch (const SynthError& e) {
    throw RenderFailure{kUsageError, e.what()};
  } catch (const AudioFileError& e) {
    throw cannot(kRenderFailed, WhatFailed(e));
  }

  try {
    RenderClock clock;
    Scheduler scheduler(clock);
    // A failed write ends the melody's thread; the render ends with it, and
    // says what failed rather than which thread it was in.
    std::string stopped;
    std::exception_ptr why;
    scheduler.SetErrorReporter([&](const std::string& message) {
      if (!stopped.empty()) return;
      stopped = message;
      why = std::current_exception();
    });
    const auto endIfStopped = [&] {
      if (why) std::rethrow_exception(why);
      if (!stopped.empty()) throw RenderFailure{kRenderFailed, stopped};
    };
    ThreadContext thread(scheduler, std::string(mode->threadName));
    Score score(scheduler, *sink);
    scheduler.Start(thread, PlayMelody(score, std::make_unique<Random>(seed), mode->pitches));

    // The event loop's part, on render time: a step's notes up to, not at,
    // the end; there the stop ends whatever sounds.
    const double end = invocation.renderMicros;
    Progress progress(errors, end);
    for (;;) {
      while (scheduler.RunReady()) {
      }
      endIfStopped();
      const std::optional<double> deadline = scheduler.NextDeadline();
      if (!deadline || *deadline >= end) break;
      clock.now = *deadline;
      scheduler.RunDue();
      endIfStopped();
      progress.Update(clock.now);
    }
    scheduler.Stop(thread);
    sink->End(end);
    sink->Finish();
    target->Commit();
  } catch (const AudioFileError& e) {
    throw cannot(kRenderFailed, WhatFailed(e));
  } catch (const RenderTargetError& e) {
    throw cannot(kRenderFailed, e.what());
  }
  return seed;
}

}  // namespace

int Render(const Invocation& invocation, std::ostream& errors) {
  try {
    const std::uint64_t seed = RenderMelody(invocation, errors);
    if (!invocation.seed) {
      errors << "quillotone: "
             << QCoreApplication::translate("Render", "seed %1").arg(seed).toStdString() << '\n';
    }
    return 0;
  } catch (const RenderFailure& failure) {
    errors << "quillotone: " << Printable(failure.message) << '\n';
    return failure.status;
  }
}

}  // namespace quillotone
