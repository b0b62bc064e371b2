// SPDX-License-Identifier: GPL-3.0-or-later
// The synth on JACK with the MIDI port on the same client (--audio jack
// --midi-out), as a receiving program hears it: one client of the test
// records the port's note-ons and the left audio port in the same cycles, on
// a dummy JACK server of the test's own.
#include <gtest/gtest.h>
#include <jack/jack.h>
#include <jack/midiport.h>

#include <QTemporaryDir>
#include <array>
#include <cmath>
#include <memory>
#include <set>

#include "../bench/ClickSoundFont.h"
#include "app/App.h"
#include "support/Child.h"
#include "support/EventLoop.h"
#include "support/Program.h"

namespace quillotone {
namespace {

constexpr std::size_t kMaxStamps = 1 << 14;
constexpr jack_nframes_t kQuietFrames = 48;
// Below it the synth's reverb fades between the clicks; a click's attack
// passes it within its first frames.
constexpr float kLevel = 1e-3F;
constexpr jack_nframes_t kAttackFrames = 16;

// What the receiver heard, in frames of the server's clock: written by its
// process callback, read once it is closed.
struct Receiver {
  jack_client_t* client = nullptr;
  jack_port_t* midi = nullptr;
  jack_port_t* audio = nullptr;
  std::array<jack_nframes_t, kMaxStamps> noteOns{};
  std::array<jack_nframes_t, kMaxStamps> onsets{};
  std::size_t noteOnCount = 0;
  std::size_t onsetCount = 0;
  jack_nframes_t quiet = 0;

  static int Process(jack_nframes_t frames, void* self) {
    auto* r = static_cast<Receiver*>(self);
    const jack_nframes_t start = jack_last_frame_time(r->client);
    void* midi = jack_port_get_buffer(r->midi, frames);
    for (jack_nframes_t i = 0, n = jack_midi_get_event_count(midi); i < n; ++i) {
      jack_midi_event_t event;
      if (jack_midi_event_get(&event, midi, i) == 0 && event.size == 3 &&
          (event.buffer[0] & 0xF0) == 0x90 && event.buffer[2] > 0 && r->noteOnCount < kMaxStamps) {
        r->noteOns[r->noteOnCount++] = start + event.time;
      }
    }
    // A note sounds from its first sample above kLevel after a millisecond
    // below it.
    const auto* audio = static_cast<const float*>(jack_port_get_buffer(r->audio, frames));
    for (jack_nframes_t i = 0; i < frames; ++i) {
      const bool loud = std::abs(audio[i]) >= kLevel;
      if (loud && r->quiet >= kQuietFrames && r->onsetCount < kMaxStamps) {
        r->onsets[r->onsetCount++] = start + i;
      }
      r->quiet = loud ? 0 : r->quiet + 1;
    }
    return 0;
  }
};

// Rate and period the server starts with, and the period it changes to
// halfway through.
struct Server {
  int rate;
  int period;
  int laterPeriod;
};
void PrintTo(const Server& s, std::ostream* out) {
  *out << s.rate << " Hz, " << s.period << " then " << s.laterPeriod << " frames";
}

class JackAudioTest : public ::testing::TestWithParam<Server>, public MessageSink {
 protected:
  void Show(const QString& text) override { said_ << text; }
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(StartServer()); }
  void StartServer() {
    const Server server = GetParam();
    // Synchronous: a cycle ends once every client has run, in the graph's
    // order, so that the receiver hears what this cycle's client wrote even
    // where a busy (or sanitized) machine makes cycles late.
    ASSERT_TRUE(testing::StartJack(jackd_, {"jackd", "-S", "-R", "-P", "10", "-d", "dummy", "-r",
                                            std::to_string(server.rate), "-p",
                                            std::to_string(server.period)}))
        << "no JACK server (jackd2)";
  }
  // `quillotone --audio jack --midi-out --mode ionian --seed 3`, the synth
  // loaded and the port open.
  void StartApp(const std::string& soundFont) {
    app_ = std::make_unique<App>(argc_, argv_);
    testing::StartUp(*app_,
                     {.seed = 3,
                      .sound = true,
                      .mode = 5,
                      .soundFont = soundFont,
                      .midiOut = true,
                      .midiClock = false,
                      .midiSystem = MidiSystem::kAny,
                      .audio = AudioSystem::kJack,
                      .connectPlayback = true},
                     this);
    ASSERT_TRUE(testing::RunEventLoopUntil(
        [&] { return app_->midiOutput() != nullptr && app_->synthHost().synth() != nullptr; },
        10'000));
  }
  testing::Child jackd_;
  int argc_ = 1;
  char* argv_[2] = {const_cast<char*>("quillotone"), nullptr};
  std::unique_ptr<App> app_;
  QStringList said_;
};

TEST_P(JackAudioTest, EveryNoteSoundsOnTheFrameItsNoteOnIsWrittenAtAcrossAPeriodChange) {
  QTemporaryDir dir;
  const std::string soundFont = dir.filePath("click.sf2").toStdString();
  ASSERT_TRUE(bench::WriteClickSoundFont(soundFont));
  auto receiver = std::make_unique<Receiver>();
  receiver->client = jack_client_open("receiver", JackNoStartServer, nullptr);
  ASSERT_NE(receiver->client, nullptr);
  receiver->midi =
      jack_port_register(receiver->client, "midi", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
  receiver->audio =
      jack_port_register(receiver->client, "audio", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
  jack_set_process_callback(receiver->client, &Receiver::Process, receiver.get());
  ASSERT_EQ(jack_activate(receiver->client), 0);

  ASSERT_NO_FATAL_FAILURE(StartApp(soundFont));
  EXPECT_TRUE(jack_port_connected_to(jack_port_by_name(receiver->client, "Quillotone:left"),
                                     "system:playback_1"));
  ASSERT_EQ(jack_connect(receiver->client, "Quillotone:Quillotone", "receiver:midi"), 0);
  ASSERT_EQ(jack_connect(receiver->client, "Quillotone:left", "receiver:audio"), 0);

  testing::Click(*app_, "play");
  testing::RunEventLoopFor(2500);
  ASSERT_EQ(jack_set_buffer_size(receiver->client, GetParam().laterPeriod), 0);
  testing::RunEventLoopFor(2500);
  // The notes scheduled ahead of a stop reach the port, which ends them,
  // but the synth drops them: only those due before it are compared.
  const jack_nframes_t stopped = jack_frame_time(receiver->client);
  testing::Click(*app_, "stop");
  testing::RunEventLoopFor(500);
  jack_client_close(receiver->client);

  std::set<jack_nframes_t> ons(receiver->noteOns.begin(),
                               receiver->noteOns.begin() + receiver->noteOnCount);
  ons.erase(ons.lower_bound(stopped), ons.end());
  std::set<jack_nframes_t> onsets(receiver->onsets.begin(),
                                  receiver->onsets.begin() + receiver->onsetCount);
  onsets.erase(onsets.lower_bound(stopped), onsets.end());
  EXPECT_GE(ons.size(), 10U);
  // Each click starts on the frame of its note-on: within its attack. (A
  // period change may break a click in two, which makes two onsets.)
  // Sanitized, the process callbacks take longer than JACK's cycles: the
  // frames are judged in the other builds.
#if !defined(__SANITIZE_THREAD__)
  for (const jack_nframes_t on : ons) {
    const auto onset = onsets.lower_bound(on);
    EXPECT_TRUE(onset != onsets.end() && *onset - on < kAttackFrames)
        << "note-on at " << on << "; onsets " << ::testing::PrintToString(onsets);
  }
#endif
  // Nothing but the thank-you box.
  EXPECT_EQ(said_.size(), 1) << said_.join('\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Periods, JackAudioTest,
                         ::testing::Values(Server{48000, 64, 1024}, Server{44100, 1024, 256}),
                         [](const auto& info) {
                           return std::to_string(info.param.rate) + "Hz" +
                                  std::to_string(info.param.period) + "Then" +
                                  std::to_string(info.param.laterPeriod);
                         });

// The server killed while the synth plays on it, and started again: told
// once each way (by the sound output; the MIDI port on the same client says
// nothing of its own), and the ports come back connected as they were.
class JackServerLossTest : public JackAudioTest {};

TEST_P(JackServerLossTest, IsToldOnceEachWayAndThePortsComeBackConnected) {
  ASSERT_NO_FATAL_FAILURE(StartApp({}));
  testing::Click(*app_, "play");
  testing::RunEventLoopFor(1000);
  jackd_.Stop(SIGKILL);
  EXPECT_TRUE(testing::RunEventLoopUntil([&] { return said_.size() == 1; }, 10'000));
  ASSERT_NO_FATAL_FAILURE(StartServer());
  jack_client_t* look = jack_client_open("look", JackNoStartServer, nullptr);
  ASSERT_NE(look, nullptr);
  EXPECT_TRUE(testing::RunEventLoopUntil(
      [&] {
        jack_port_t* left = jack_port_by_name(look, "Quillotone:left");
        return said_.size() == 2 && left != nullptr &&
               jack_port_connected_to(left, "system:playback_1") != 0;
      },
      10'000));
  jack_client_close(look);
  testing::RunEventLoopFor(2 * MidiOutput::kWatchMs);
  ASSERT_EQ(said_.size(), 2) << said_.join('\n').toStdString();
  EXPECT_TRUE(said_[0].contains("stopped")) << said_[0].toStdString();
  EXPECT_TRUE(said_[1].contains("back")) << said_[1].toStdString();
  testing::Click(*app_, "stop");
}

INSTANTIATE_TEST_SUITE_P(At256, JackServerLossTest, ::testing::Values(Server{48000, 256, 256}));

}  // namespace
}  // namespace quillotone
