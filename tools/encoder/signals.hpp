// Test and demo signals generated in code, as 16-bit PCM.
#pragma once

#include <cstdint>
#include <vector>

namespace zor2wav::signals {

// A sine whose frequency glides exponentially from low_hz to high_hz.
std::vector<std::int16_t> sine_sweep(std::uint32_t rate, double seconds, double low_hz,
                                     double high_hz, double amplitude);

// White noise under a fast attack and an exponential decay, like a drum hit.
std::vector<std::int16_t> noise_burst(std::uint32_t rate, double seconds, double amplitude,
                                      std::uint32_t seed);

// A few bars of a plucked melody over a soft chord and a bass line, with a
// hi-hat; stereo spreads the voices across the two channels (interleaved).
std::vector<std::int16_t> music(std::uint32_t rate, double seconds, std::uint32_t channels,
                                std::uint32_t seed);

}  // namespace zor2wav::signals
