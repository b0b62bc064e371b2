#pragma once

#include <array>
#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

namespace quillotone::testing {

// In-place radix-2 FFT; the size must be a power of two.
inline void Fft(std::vector<std::complex<double>>& a) {
  const std::size_t n = a.size();
  for (std::size_t i = 1, j = 0; i < n; ++i) {
    std::size_t bit = n >> 1;
    for (; (j & bit) != 0; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (std::size_t len = 2; len <= n; len <<= 1) {
    const double angle = -2.0 * std::numbers::pi / static_cast<double>(len);
    const std::complex<double> step(std::cos(angle), std::sin(angle));
    for (std::size_t i = 0; i < n; i += len) {
      std::complex<double> w(1.0);
      for (std::size_t k = 0; k < len / 2; ++k) {
        const std::complex<double> u = a[i + k];
        const std::complex<double> v = a[i + k + len / 2] * w;
        a[i + k] = u + v;
        a[i + k + len / 2] = u - v;
        w *= step;
      }
    }
  }
}

// Spectral power folded into pitch classes (0 = C): each FFT bin counts for
// the MIDI note nearest its frequency, notes kLowNote..kHighNote only. One
// long window gives a fraction of a hertz per bin, enough for the lowest
// second voices (36 semitones below middle C).
inline constexpr int kLowNote = 24;
inline constexpr int kHighNote = 96;

inline std::array<double, 12> Chroma(const std::vector<double>& samples, int rate) {
  const std::size_t count = samples.size();
  std::size_t n = 1;
  while (n < count) n <<= 1;
  std::vector<std::complex<double>> spectrum(n);
  for (std::size_t i = 0; i < count; ++i) {
    const double hann = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) /
                                             static_cast<double>(count - 1));
    spectrum[i] = samples[i] * hann;
  }
  Fft(spectrum);
  std::array<double, 12> chroma{};
  for (std::size_t bin = 1; bin < n / 2; ++bin) {
    const double hz = static_cast<double>(bin) * rate / static_cast<double>(n);
    const int note = static_cast<int>(std::lround(69.0 + 12.0 * std::log2(hz / 440.0)));
    if (note < kLowNote || note > kHighNote) continue;
    chroma[static_cast<std::size_t>(note % 12)] += std::norm(spectrum[bin]);
  }
  return chroma;
}

}  // namespace quillotone::testing
