// SPDX-License-Identifier: GPL-3.0-or-later
// How far apart a note's MIDI message and its sound through the built-in
// synth arrive, measured in one graph: PipeWire, whose JACK service carries
// the MIDI port and whose pulse service the synth's stream. A JACK client of
// this bench hears both in the same cycles: the port's note-ons, and the null
// sink's monitor, where a click SoundFont makes each onset sharp. Run by
// bench/midi_audio_offset.sh, which starts the server and runs this under pw-jack.
//
//   midi_audio_offset_bench SINK [seconds]
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
#include <string>
#include <vector>

#include "ClickSoundFont.h"
#include "MidiBenchApp.h"
#include "app/App.h"
#include "framework/midi/MidiOutput.h"
#include "ui/Window1.h"

namespace {

constexpr std::size_t kMaxStamps = 1 << 16;
// Quiet this long (10 ms) before a sample above kLevel makes it an onset:
// what the server does to the stream (its volume, its conversions) leaves
// the pauses not quite zero.
constexpr jack_nframes_t kSilenceFrames = 480;
constexpr float kLevel = 0.01F;

// What the probe heard, stamped with frames on the graph's clock. Written by
// the process callback only, read after it stopped.
struct Probe {
  jack_client_t* client = nullptr;
  jack_port_t* midi = nullptr;
  jack_port_t* audio = nullptr;
  std::array<jack_nframes_t, kMaxStamps> noteOns{};
  std::array<jack_nframes_t, kMaxStamps> onsets{};
  std::atomic<std::size_t> noteOnCount{0};
  std::atomic<std::size_t> onsetCount{0};
  jack_nframes_t silent = 0;
};

int Process(jack_nframes_t frames, void* arg) {
  auto* probe = static_cast<Probe*>(arg);
  const jack_nframes_t start = jack_last_frame_time(probe->client);
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
  for (jack_nframes_t i = 0; i < frames; ++i) {
    if (std::abs(audio[i]) < kLevel) {
      ++probe->silent;
      continue;
    }
    const std::size_t count = probe->onsetCount.load(std::memory_order_relaxed);
    if (probe->silent >= kSilenceFrames && count < kMaxStamps) {
      probe->onsets[count] = start + i;
      probe->onsetCount.store(count + 1, std::memory_order_release);
    }
    probe->silent = 0;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: midi_audio_offset_bench SINK [seconds]\n");
    return 2;
  }
  const std::string sink = argv[1];
  const int seconds = argc > 2 ? std::atoi(argv[2]) : 60;
  QTemporaryDir dir;
  const std::string soundFont = dir.filePath("click.sf2").toStdString();
  if (!quillotone::bench::WriteClickSoundFont(soundFont)) return 1;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);

  Probe probe;
  probe.client = jack_client_open("offset-probe", JackNoStartServer, nullptr);
  if (probe.client == nullptr) {
    std::fprintf(stderr, "midi_audio_offset_bench: no JACK service (run it under pw-jack)\n");
    return 1;
  }
  probe.midi = jack_port_register(probe.client, "midi", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
  probe.audio =
      jack_port_register(probe.client, "audio", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
  jack_set_process_callback(probe.client, Process, &probe);
  if (jack_activate(probe.client) != 0) return 1;
  const double rate = jack_get_sample_rate(probe.client);
  const std::string monitor = sink + ":monitor_FL";
  if (jack_connect(probe.client, monitor.c_str(), jack_port_name(probe.audio)) != 0) {
    std::fprintf(stderr, "midi_audio_offset_bench: no port %s\n", monitor.c_str());
    return 1;
  }

  int appArgc = 1;
  quillotone::App app(appArgc, argv);
  quillotone::bench::StartWithMidiOut(app, soundFont);
  if (app.midiOutput() == nullptr ||
      jack_connect(probe.client, app.midiOutput()->portName().c_str(),
                   jack_port_name(probe.midi)) != 0) {
    std::fprintf(stderr, "midi_audio_offset_bench: the MIDI port could not be connected\n");
    return 1;
  }
  // Started as a user would, once the synth has loaded.
  while (app.synthHost().synth() == nullptr) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  }
  app.window1().play_Action();
  QTimer::singleShot(seconds * 1000, &app, [&] {
    app.window1().stop_Action();
    QCoreApplication::exit(0);
  });
  (void)app.RunEventLoop();
  jack_deactivate(probe.client);
  jack_nframes_t period = jack_get_buffer_size(probe.client);
  jack_client_close(probe.client);

  // The steps' note-ons against the onsets in order. Which onset is a given
  // step's is not known (every note clicks alike), so every shift of one
  // list against the other within a second is tried; the offsets of the true
  // pairing are those that hold steady (the smallest spread).
  std::vector<jack_nframes_t> ons(probe.noteOns.begin(),
                                  probe.noteOns.begin() + probe.noteOnCount.load());
  ons.erase(std::unique(ons.begin(), ons.end()), ons.end());
  const std::vector<jack_nframes_t> onsets(probe.onsets.begin(),
                                           probe.onsets.begin() + probe.onsetCount.load());
  std::vector<double> best;  // ms, sound after MIDI positive
  double bestSpread = INFINITY;
  for (int shift = -8; shift <= 8; ++shift) {
    std::vector<double> offsets;
    for (std::size_t i = 0; i < onsets.size(); ++i) {
      const auto at = static_cast<std::ptrdiff_t>(i) + shift;
      if (at < 0 || at >= static_cast<std::ptrdiff_t>(ons.size())) continue;
      offsets.push_back(static_cast<std::int32_t>(onsets[i] - ons[static_cast<std::size_t>(at)]) /
                        rate * 1000.0);
    }
    if (offsets.size() < 4) continue;
    const double spread = *std::ranges::max_element(offsets) - *std::ranges::min_element(offsets);
    if (spread < bestSpread) bestSpread = spread, best = offsets;
  }
  // How far each list's intervals stray from the grid (every step is a
  // whole number of 125 ms), to tell which side any spread comes from.
  const auto gridError = [rate](const std::vector<jack_nframes_t>& stamps) {
    std::vector<double> errors;
    const double grid = 0.125 * rate;
    for (std::size_t i = 1; i < stamps.size(); ++i) {
      const double interval = static_cast<std::int32_t>(stamps[i] - stamps[i - 1]);
      errors.push_back(std::abs(interval - std::round(interval / grid) * grid) / rate * 1000.0);
    }
    return errors;
  };
  const std::vector<double> midiErrors = gridError(ons);
  const std::vector<double> soundErrors = gridError(onsets);
  std::printf("interval error ms: MIDI median %.3f max %.3f; sound median %.3f max %.3f\n",
              quillotone::bench::Quantile(midiErrors, 0.5), quillotone::bench::Quantile(midiErrors, 1.0),
              quillotone::bench::Quantile(soundErrors, 0.5),
              quillotone::bench::Quantile(soundErrors, 1.0));
  std::printf(
      "rate %.0f, quantum %u; %zu steps, %zu onsets; offset (sound - MIDI) ms: median %.3f, "
      "min %.3f, max %.3f\n",
      rate, period, ons.size(), onsets.size(), quillotone::bench::Quantile(best, 0.5),
      best.empty() ? NAN : *std::ranges::min_element(best),
      best.empty() ? NAN : *std::ranges::max_element(best));
  return best.empty() ? 1 : 0;
}
