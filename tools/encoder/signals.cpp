#include "encoder/signals.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zor2wav::signals {
namespace {

constexpr double two_pi = 2.0 * std::numbers::pi;

// A small generator of its own, so that the signals are the same everywhere.
struct noise_source {
  std::uint32_t state;
  // Uniform in [-1, 1).
  double next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return static_cast<double>(state) / 2147483648.0 - 1.0;
  }
};

std::int16_t to_sample(double x) {
  return static_cast<std::int16_t>(std::lround(std::clamp(x, -32767.0, 32767.0)));
}

std::size_t length_of(std::uint32_t rate, double seconds) {
  return static_cast<std::size_t>(seconds * rate);
}

double note_hz(int semitones_from_a4) { return 440.0 * std::exp2(semitones_from_a4 / 12.0); }

// A plucked tone: a few harmonics under a quick attack and an exponential decay.
double pluck(double hz, double t, double decay) {
  if (t < 0.0) return 0.0;
  const double attack = std::min(1.0, t / 0.005);
  double tone = 0.0;
  for (int h = 1; h <= 4; ++h) {
    tone += std::sin(two_pi * hz * h * t) / (h * h);
  }
  return attack * std::exp(-t * decay) * tone;
}

}  // namespace

std::vector<std::int16_t> sine_sweep(std::uint32_t rate, double seconds, double low_hz,
                                     double high_hz, double amplitude) {
  std::vector<std::int16_t> out(length_of(rate, seconds));
  const double growth = std::log(high_hz / low_hz) / seconds;
  for (std::size_t i = 0; i < out.size(); ++i) {
    const double t = static_cast<double>(i) / rate;
    // The phase is the integral of the exponentially rising frequency.
    const double phase = two_pi * low_hz * (std::exp(growth * t) - 1.0) / growth;
    out[i] = to_sample(amplitude * std::sin(phase));
  }
  return out;
}

std::vector<std::int16_t> noise_burst(std::uint32_t rate, double seconds, double amplitude,
                                      std::uint32_t seed) {
  std::vector<std::int16_t> out(length_of(rate, seconds));
  noise_source noise{seed | 1u};
  for (std::size_t i = 0; i < out.size(); ++i) {
    const double t = static_cast<double>(i) / rate;
    const double envelope = std::min(1.0, t / 0.002) * std::exp(-t * 6.0 / seconds);
    out[i] = to_sample(amplitude * envelope * noise.next());
  }
  return out;
}

std::vector<std::int16_t> music(std::uint32_t rate, double seconds, std::uint32_t channels,
                                std::uint32_t seed) {
  // A minor pentatonic melody in eighth notes, semitones from A4.
  constexpr int melody[] = {0, 3, 5, 7, 10, 7, 5, 3, 0, -2, 0, 3, 7, 5, 3, 0};
  constexpr int bass[] = {-24, -24, -19, -17};  // A2, A2, D3, E3: one per bar
  constexpr double beat = 0.25;                 // seconds per eighth note
  const std::size_t length = length_of(rate, seconds);
  std::vector<std::int16_t> out(length * channels);
  noise_source noise{seed | 1u};
  for (std::size_t i = 0; i < length; ++i) {
    const double t = static_cast<double>(i) / rate;
    const auto step = static_cast<std::size_t>(t / beat);
    const double in_step = t - static_cast<double>(step) * beat;
    const double lead = 0.22 * pluck(note_hz(melody[step % std::size(melody)]), in_step, 6.0);
    const std::size_t bar = step / 8;
    const double in_bar = t - static_cast<double>(bar) * 8 * beat;
    const int root = bass[bar % std::size(bass)];
    const double low = 0.28 * pluck(note_hz(root), in_bar, 1.5);
    const double pad = 0.06 * (std::sin(two_pi * note_hz(root + 24) * t) +
                               std::sin(two_pi * note_hz(root + 27) * t) +
                               std::sin(two_pi * note_hz(root + 31) * t));
    // A hi-hat on every second eighth: a short burst of noise.
    const double hat = step % 2 == 1 ? 0.06 * std::exp(-in_step * 60.0) * noise.next() : 0.0;
    if (channels == 1) {
      out[i] = to_sample(32767.0 * (lead + low + pad + hat));
    } else {
      out[2 * i] = to_sample(32767.0 * (0.8 * lead + low + 0.6 * pad + 0.3 * hat));
      out[2 * i + 1] = to_sample(32767.0 * (0.4 * lead + low + 0.6 * pad + 0.9 * hat));
    }
  }
  return out;
}

}  // namespace zor2wav::signals
