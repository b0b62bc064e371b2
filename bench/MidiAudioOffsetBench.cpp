// SPDX-License-Identifier: GPL-3.0-or-later
// How far apart a note's MIDI message and its sound through the built-in
// synth arrive at one JACK client of this bench, which hears both in the same
// cycles: the MIDI port's note-ons, and every frame of the sound, where a
// click SoundFont makes each onset sharp. Either the synth plays on
// PipeWire's pulse service and is heard at the null sink SINK's monitor (the
// MIDI port on PipeWire's JACK service), or with --jack the program is one
// JACK client (--audio jack --midi-out) and is heard at Quillotone:left.
// Run by bench/midi_audio_offset.sh, which starts the server.
//
//   midi_audio_offset_bench SINK|--jack [seconds]
#include <jack/jack.h>
#include <jack/midiport.h>

#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ClickSoundFont.h"
#include "MidiBenchApp.h"
#include "app/App.h"
#include "framework/midi/MidiOutput.h"
#include "ui/Window1.h"

namespace {

constexpr std::size_t kMaxStamps = 1 << 16;

// What the probe heard, from the cycle recording began in: note-ons as
// frames on the graph's clock, the sound frame by frame. Written by the
// process callback only, read after it stopped.
struct Probe {
  jack_client_t* client = nullptr;
  jack_port_t* midi = nullptr;
  jack_port_t* audio = nullptr;
  std::array<jack_nframes_t, kMaxStamps> noteOns{};
  std::atomic<std::size_t> noteOnCount{0};
  // Sized before recording starts; NaN where a cycle was missed.
  std::vector<float> sound;
  std::atomic<bool> recording{false};
  bool started = false;
  jack_nframes_t first = 0;  // the frame sound[0] was heard at
  std::atomic<int> xruns{0};
};

int Process(jack_nframes_t frames, void* arg) {
  auto* probe = static_cast<Probe*>(arg);
  if (!probe->recording.load(std::memory_order_acquire)) return 0;
  const jack_nframes_t start = jack_last_frame_time(probe->client);
  if (!probe->started) probe->first = start, probe->started = true;
  void* midi = jack_port_get_buffer(probe->midi, frames);
  for (jack_nframes_t i = 0, n = jack_midi_get_event_count(midi); i < n; ++i) {
    jack_midi_event_t event;
    if (jack_midi_event_get(&event, midi, i) != 0 || event.size != 3) continue;
    if ((event.buffer[0] & 0xF0) != 0x90 || event.buffer[2] == 0) continue;
    const std::size_t count = probe->noteOnCount.load(std::memory_order_relaxed);
    if (count < kMaxStamps) {
      probe->noteOns[count] = start + event.time;
      probe->noteOnCount.store(count + 1, std::memory_order_release);
    }
  }
  const auto* audio = static_cast<const float*>(jack_port_get_buffer(probe->audio, frames));
  // By frame, so that a cycle the probe missed leaves a gap, not a shift.
  const std::size_t at = start - probe->first;
  if (at < probe->sound.size()) {
    std::copy_n(audio, std::min<std::size_t>(frames, probe->sound.size() - at),
                probe->sound.begin() + static_cast<std::ptrdiff_t>(at));
  }
  return 0;
}

int Xrun(void* arg) {
  static_cast<Probe*>(arg)->xruns.fetch_add(1, std::memory_order_relaxed);
  return 0;
}

// Where notes start: the first frame at `level` or above after `quiet`
// frames heard below it.
std::vector<std::int64_t> Onsets(const std::vector<float>& sound, float level, std::int64_t quiet) {
  std::vector<std::int64_t> onsets;
  std::int64_t below = quiet;  // recording starts before the first note
  for (std::size_t i = 0; i < sound.size(); ++i) {
    if (std::isnan(sound[i])) {
      below = 0;
      continue;
    }
    const bool loud = std::abs(sound[i]) >= level;
    if (loud && below >= quiet) onsets.push_back(static_cast<std::int64_t>(i));
    below = loud ? 0 : below + 1;
  }
  return onsets;
}

// Each note-on's onset, if it has one: sound after MIDI, in frames. Which
// onset is a note's is not known (every note clicks alike): the offset most
// note-ons share with some onset within a second, to a quarter of a short
// step, is taken as the typical one; then each note-on takes the first onset
// within a quarter step of it, so that a note missing or broken in two
// spoils no other.
std::vector<std::optional<std::int64_t>> Offsets(const std::vector<std::int64_t>& ons,
                                                 const std::vector<std::int64_t>& onsets,
                                                 double rate) {
  const auto window = static_cast<std::int64_t>(0.125 * rate / 4);
  std::map<std::int64_t, int> shared;  // by quarter step
  for (const std::int64_t on : ons) {
    for (auto onset = std::ranges::lower_bound(onsets, on - static_cast<std::int64_t>(rate));
         onset != onsets.end() && *onset <= on + static_cast<std::int64_t>(rate); ++onset) {
      ++shared[std::llround(static_cast<double>(*onset - on) / static_cast<double>(window))];
    }
  }
  if (shared.empty()) return std::vector<std::optional<std::int64_t>>(ons.size());
  const std::int64_t typical =
      std::ranges::max_element(shared, {}, [](const auto& bin) { return bin.second; })->first *
      window;
  std::vector<std::optional<std::int64_t>> paired;
  for (const std::int64_t on : ons) {
    const auto after = std::ranges::lower_bound(onsets, on + typical - window);
    if (after != onsets.end() && *after <= on + typical + window) {
      paired.emplace_back(*after - on);
    } else {
      paired.emplace_back();
    }
  }
  return paired;
}

// How far each interval strays, in frames, from the nearest whole number of
// short steps (125 ms: every step is one or two).
std::vector<double> GridErrors(const std::vector<std::int64_t>& stamps, double rate) {
  std::vector<double> errors;
  const double grid = 0.125 * rate;
  for (std::size_t i = 1; i < stamps.size(); ++i) {
    const auto interval = static_cast<double>(stamps[i] - stamps[i - 1]);
    errors.push_back(std::abs(interval - std::round(interval / grid) * grid));
  }
  return errors;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: midi_audio_offset_bench SINK|--jack [seconds]\n");
    return 2;
  }
  const bool jack = std::string(argv[1]) == "--jack";
  const int seconds = argc > 2 ? std::atoi(argv[2]) : 60;
  QTemporaryDir dir;
  const std::string soundFont = dir.filePath("click.sf2").toStdString();
  if (!quillotone::bench::WriteClickSoundFont(soundFont)) return 1;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);

  auto probe = std::make_unique<Probe>();
  probe->client = jack_client_open("offset-probe", JackNoStartServer, nullptr);
  if (probe->client == nullptr) {
    std::fprintf(stderr, "midi_audio_offset_bench: no JACK server (run it under pw-jack?)\n");
    return 1;
  }
  probe->midi =
      jack_port_register(probe->client, "midi", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
  probe->audio =
      jack_port_register(probe->client, "audio", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
  const double rate = jack_get_sample_rate(probe->client);
  probe->sound.resize(static_cast<std::size_t>((seconds + 5) * rate), NAN);
  jack_set_process_callback(probe->client, Process, probe.get());
  jack_set_xrun_callback(probe->client, Xrun, probe.get());
  if (jack_activate(probe->client) != 0) return 1;

  int appArgc = 1;
  quillotone::App app(appArgc, argv);
  quillotone::bench::StartWithMidiOut(
      app, soundFont, jack ? quillotone::AudioSystem::kJack : quillotone::AudioSystem::kAny);
  const std::string source = jack ? "Quillotone:left" : std::string(argv[1]) + ":monitor_FL";
  if (jack_connect(probe->client, source.c_str(), jack_port_name(probe->audio)) != 0) {
    std::fprintf(stderr, "midi_audio_offset_bench: no port %s\n", source.c_str());
    return 1;
  }
  if (app.midiOutput() == nullptr ||
      jack_connect(probe->client, app.midiOutput()->portName().c_str(),
                   jack_port_name(probe->midi)) != 0) {
    std::fprintf(stderr, "midi_audio_offset_bench: the MIDI port could not be connected\n");
    return 1;
  }
  // Started as a user would, once the synth has loaded.
  while (app.synthHost().synth() == nullptr) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  }
  probe->recording.store(true, std::memory_order_release);
  app.window1().play_Action();
  QTimer::singleShot(seconds * 1000, &app, [&] {
    app.window1().stop_Action();
    QCoreApplication::exit(0);
  });
  (void)app.RunEventLoop();
  jack_deactivate(probe->client);
  const jack_nframes_t period = jack_get_buffer_size(probe->client);
  jack_client_close(probe->client);

  std::vector<std::int64_t> ons;
  for (std::size_t i = 0; i < probe->noteOnCount.load(); ++i) {
    ons.push_back(static_cast<std::int32_t>(probe->noteOns[i] - probe->first));
  }
  ons.erase(std::unique(ons.begin(), ons.end()), ons.end());
  // The pulse service leaves the pauses not quite zero (volume,
  // conversions): 10 ms below 0.01. Straight from the synth, only the
  // reverb's tail, far below 1e-6, fades between the clicks, while a voice
  // passes it on its second frame (its envelope starts from zero gain, then
  // rises for 1 ms, slower at lower velocities).
  const float level = jack ? 1e-6F : 1e-2F;
  const auto quiet = static_cast<std::int64_t>(rate / (jack ? 1000 : 100));
  const std::vector<std::int64_t> onsets = Onsets(probe->sound, level, quiet);
  const auto paired = Offsets(ons, onsets, rate);

  // The notes due before the synth stopped: those up to the last one heard.
  std::vector<std::int64_t> offsets, heard;
  std::size_t unheard = 0;
  for (std::size_t i = 0; i < ons.size(); ++i) {
    if (paired[i]) {
      offsets.push_back(*paired[i]);
      heard.push_back(ons[i] + *paired[i]);
    } else if (!onsets.empty() && ons[i] < onsets.back()) {
      ++unheard;
      // A cycle the probe missed about it may have held its onset.
      const auto near = probe->sound.begin() + std::max<std::int64_t>(ons[i] - period, 0);
      const bool gap = std::any_of(near, near + 3 * period, [](float x) { return std::isnan(x); });
      std::fprintf(stderr, "note-on at %.3f s unheard%s\n", static_cast<double>(ons[i]) / rate,
                   gap ? ", the probe missed a cycle about it" : "");
    }
  }
  // Frames the probe missed (a cycle it did not run in), up to the last it heard.
  const auto last = std::find_if(probe->sound.rbegin(), probe->sound.rend(),
                                 [](float x) { return !std::isnan(x); });
  const auto missed = std::count_if(probe->sound.begin(), last.base(),
                                    [](float x) { return std::isnan(x); });
  const std::vector<double> midiErrors = GridErrors(ons, rate);
  const std::vector<double> soundErrors = GridErrors(heard, rate);
  using quillotone::bench::Quantile;
  std::printf(
      "rate %.0f, period %u, probe xruns %d, frames missed %td; %zu note-ons, %zu heard, %zu unheard; onsets "
      "%zu (%g after %lld frames below)\n"
      "interval error frames: MIDI median %.1f max %.1f; sound median %.1f max %.1f\n",
      rate, period, probe->xruns.load(), missed, ons.size(), heard.size(), unheard, onsets.size(), level,
      static_cast<long long>(quiet), Quantile(midiErrors, 0.5), Quantile(midiErrors, 1.0),
      Quantile(soundErrors, 0.5), Quantile(soundErrors, 1.0));
  if (offsets.empty()) return 1;
  std::map<std::int64_t, int> counts;
  for (const std::int64_t offset : offsets) ++counts[offset];
  std::printf("offset (sound - MIDI) frames: median %.0f, min %lld, max %lld (%.3f ms); each:",
              Quantile(std::vector<double>(offsets.begin(), offsets.end()), 0.5),
              static_cast<long long>(counts.begin()->first),
              static_cast<long long>(counts.rbegin()->first),
              static_cast<double>(counts.rbegin()->first) / rate * 1000.0);
  for (int shown = 0; const auto& [offset, count] : counts) {
    if (shown++ < 8) std::printf(" %lld×%d", static_cast<long long>(offset), count);
  }
  std::printf("\n");
  if (!jack) return 0;
  // The sound about each note-on heard: what the reverb leaves before it,
  // how the click's attack rises from it.
  std::printf("|sound| at a note-on's frames -2..+4, median (least, most):");
  for (std::int64_t d = -2; d <= 4; ++d) {
    std::vector<double> levels;
    for (std::size_t i = 0; i < ons.size(); ++i) {
      const auto at = static_cast<std::size_t>(ons[i] + d);
      if (paired[i] && ons[i] + d >= 0 && !std::isnan(probe->sound[at])) {
        levels.push_back(std::abs(probe->sound[at]));
      }
    }
    std::printf(" %.2g (%.2g, %.2g)", Quantile(levels, 0.5), Quantile(levels, 0.0),
                Quantile(levels, 1.0));
  }
  std::printf("\n");
  return 0;
}
