// SPDX-License-Identifier: GPL-3.0-or-later
// The audio output's transitions, one table on a clock the test moves, with
// a stand-in for the sound server's stream that answers on the event loop's
// next turn, as the stream's worker does, or (hung) not at all.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "framework/audio/AudioOutput.h"
#include "framework/audio/AudioTiming.h"

namespace quillotone {
namespace {

using State = AudioOutput::State;

class TestClock final : public Clock {
 public:
  [[nodiscard]] double MonotonicMicros() const override { return now; }
  double now = 1'000'000.0;
};

// The server's stream, and what the output told ("lost", "back").
struct FakeStream final : AudioDevice, AudioOutput::Listener {
  explicit FakeStream(const TestClock& c) : clock(c) {}
  void Open() override { opening = true; }
  // A close overtakes an open under way, whose answer never comes.
  void Close() override { open = opening = false, closing = true; }
  // The worker's answers, unless it hangs in the library.
  void Answer(AudioOutput& output) {
    if (hung) return;
    if (std::exchange(opening, false)) {
      if (!server) return output.Opened("no server");
      open = true, stale = false, renderedAt = clock.now, ++opens;
      output.Opened(std::nullopt);
    }
    if (std::exchange(closing, false)) output.Closed();
  }
  [[nodiscard]] bool IsOpen() const override { return open; }
  [[nodiscard]] bool Stale() const override { return stale; }
  [[nodiscard]] double LastRenderedMicros() const override { return renderedAt; }
  [[nodiscard]] double HeardAtMicros(std::uint64_t) const override { return 0.0; }
  [[nodiscard]] std::string Said() const override { return {}; }
  void ClockChange(const std::function<void()>& change) override { change(); }
  void Silence() override {}
  void Lost(const std::string&, const std::string&) override { said += "lost "; }
  void Back(const std::string&, const std::string&) override { said += "back "; }

  const TestClock& clock;
  bool server = true, open = false, opening = false, closing = false, hung = false, stale = false;
  double renderedAt = 0.0;
  int opens = 0;
  std::string said;
};

enum class Op {
  kNoteOn,   // a note-on sent, then the event loop's next turn
  kNoteOff,  // likewise a note-off (a stop's sweep)
  kStart,    // a thread starts, then the next turn
  kMelody,   // for `ms`: a note-on every watch, the stream rendering
  kIdle,     // for `ms`: no notes, the stream rendering
  kSilent,   // for `ms`: notes, and the stream renders nothing (the server went)
  kFrozen,   // `ms` pass with nothing running at all, then a watch
  kDown,     // the server goes
  kUp,       // and comes back
  kHang,     // the server stops answering: the stream's worker waits in the library
  kWake,     // it answers again (what was asked is answered on the next turn)
  kStale,    // the server changed under the open stream (its rate)
};
struct Step {
  Op op;
  double ms = 0.0;
};
struct Row {
  const char* what;
  std::vector<Step> steps;
  State state;
  const char* said;
  int opens;
};

constexpr double kWatchMs = audio::kWatchMicros / 1000;
constexpr double kLostMs = audio::kLostMicros / 1000;

TEST(AudioOutputTest, Transitions) {
  using enum Op;
  constexpr double kIdleMs = audio::kIdleCloseMicros / 1000;
  constexpr double kFirstMs = audio::kFirstRenderMicros / 1000;
  constexpr double kAnswerMs = audio::kOpenAnswerMicros / 1000;
  constexpr double kCloseMs = audio::kCloseAnswerMicros / 1000;
  // clang-format off
  const Row kRows[] = {
      {"opens at the first note-on", {{kNoteOn}, {kMelody, 500}}, State::kOpen, "", 1},
      {"a stop's note-offs never open it", {{kNoteOff}, {kNoteOff}}, State::kClosed, "", 0},
      {"closes when idle", {{kNoteOn}, {kMelody, 500}, {kIdle, kIdleMs}}, State::kClosed, "", 1},
      {"open just short of the loss", {{kNoteOn}, {kMelody, 500}, {kSilent, kLostMs - kWatchMs}}, State::kOpen, "", 1},
      {"lost after the timeout", {{kNoteOn}, {kMelody, 500}, {kSilent, kLostMs}}, State::kLost, "lost ", 1},
      {"a first period gets longer", {{kNoteOn}, {kSilent, kFirstMs - kWatchMs}}, State::kOpening, "", 1},
      {"no server: lost, told once", {{kDown}, {kNoteOn}, {kMelody, 3000}}, State::kLost, "lost ", 0},
      {"no retry within the period", {{kDown}, {kNoteOn}, {kUp}, {kMelody, 750}}, State::kLost, "lost ", 0},
      {"a retry after it, and back", {{kDown}, {kNoteOn}, {kUp}, {kMelody, 1500}}, State::kOpen, "lost back ", 1},
      {"a start retries at once", {{kDown}, {kNoteOn}, {kUp}, {kStart}, {kIdle, 500}}, State::kOpen, "lost back ", 1},
      {"a frozen process: no loss, not idle", {{kNoteOn}, {kMelody, 500}, {kFrozen, 5000}, {kMelody, 500}}, State::kOpen, "", 1},
      {"a loss after a freeze is told", {{kNoteOn}, {kMelody, 500}, {kFrozen, 4000}, {kSilent, kLostMs}}, State::kLost, "lost ", 1},
      {"an open with no answer yet: opening", {{kHang}, {kNoteOn}, {kMelody, kAnswerMs - kWatchMs}}, State::kOpening, "", 0},
      {"no answer in time: lost, told once", {{kHang}, {kNoteOn}, {kMelody, 2 * kAnswerMs}}, State::kLost, "lost ", 0},
      {"a start waits on the open under way", {{kHang}, {kNoteOn}, {kMelody, kAnswerMs}, {kStart}, {kMelody, kAnswerMs - kWatchMs}}, State::kOpening, "lost ", 0},
      {"a late answer plays, and is told", {{kHang}, {kNoteOn}, {kMelody, kAnswerMs}, {kWake}, {kMelody, 500}}, State::kOpen, "lost back ", 1},
      {"idle while an open hangs: given back", {{kHang}, {kNoteOn}, {kMelody, kAnswerMs}, {kIdle, kIdleMs}, {kWake}, {kIdle, 500}}, State::kLost, "lost ", 0},
      {"closing until the close answers", {{kNoteOn}, {kMelody, 500}, {kHang}, {kIdle, kIdleMs}}, State::kClosing, "", 1},
      {"a close with no answer is left", {{kNoteOn}, {kMelody, 500}, {kHang}, {kIdle, kIdleMs + kCloseMs}}, State::kClosed, "", 1},
      {"a start while open opens a fresh stream", {{kNoteOn}, {kMelody, 500}, {kIdle, 500}, {kStart}, {kIdle, 500}}, State::kOpen, "", 2},
      {"a start while closing opens after it", {{kNoteOn}, {kMelody, 500}, {kHang}, {kIdle, kIdleMs}, {kStart}, {kWake}, {kIdle, 500}}, State::kOpen, "", 2},
      {"a stale stream: a fresh one, nothing told", {{kNoteOn}, {kMelody, 500}, {kStale}, {kMelody, 500}}, State::kOpen, "", 2},
      {"a freeze while opening is not a hang", {{kHang}, {kNoteOn}, {kMelody, 500}, {kFrozen, 5000}, {kMelody, 500}}, State::kOpening, "", 0},
  };
  // clang-format on
  for (const Row& row : kRows) {
    TestClock clock;
    auto owned = std::make_unique<FakeStream>(clock);
    FakeStream& stream = *owned;
    AudioOutput output(std::move(owned), clock, stream);
    const auto turn = [&] { output.Open(), stream.Answer(output); };
    const auto watches = [&](double ms, bool notes, bool renders) {
      for (double done = 0; done < ms; done += kWatchMs) {
        if (notes) output.NoteSent(true);
        turn();
        clock.now += audio::kWatchMicros;
        if (renders && stream.open) stream.renderedAt = clock.now;
        output.Watch();
      }
    };
    for (const Step& step : row.steps) {
      switch (step.op) {
        case Op::kNoteOn:
          output.NoteSent(true), turn();
          break;
        case Op::kNoteOff:
          output.NoteSent(false), turn();
          break;
        case Op::kStart:
          output.Request(), turn();
          break;
        case Op::kMelody:
          watches(step.ms, true, true);
          break;
        case Op::kIdle:
          watches(step.ms, false, true);
          break;
        case Op::kSilent:
          watches(step.ms, true, false);
          break;
        case Op::kFrozen:
          clock.now += step.ms * 1000;
          output.Watch();
          break;
        case Op::kDown:
          stream.server = false;
          break;
        case Op::kUp:
          stream.server = true;
          break;
        case Op::kHang:
          stream.hung = true;
          break;
        case Op::kWake:
          stream.hung = false;
          break;
        case Op::kStale:
          stream.stale = true;
          break;
      }
    }
    turn();
    EXPECT_EQ(output.state(), row.state) << row.what;
    EXPECT_EQ(stream.said, row.said) << row.what;
    EXPECT_EQ(stream.opens, row.opens) << row.what;
  }
}

}  // namespace
}  // namespace quillotone
