// The arithmetic limit of decoding, the floor the decoder is measured
// against: per sample only the shifted code and the recurrence
// v = (t + c2 * s2) + c1 * s1, whose chain through s1 is one dependent
// multiply and one add, and a plain conversion of v to 16 bits. No flag,
// marker or rounding work. Stereo runs the two channels' chains interleaved.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "adpcm/decoder.hpp"

namespace zor2wav::bench {

// Clamped so that the conversion is defined for any frame; realistic values
// never reach the bounds.
inline std::int16_t bare_sample(double v) {
  return static_cast<std::int16_t>(static_cast<std::int32_t>(std::clamp(v, -2147483648.0, 2147483647.0)));
}

inline void bare_mono(const std::uint8_t* frames, std::size_t frame_count, std::int16_t* out,
                      channel_state& state) {
  double s1 = state.s1;
  double s2 = state.s2;
  for (std::size_t j = 0; j < frame_count; ++j, frames += frame_bytes) {
    const predictor row = predictor_of(frames[0]);
    const unsigned shift = code_shift(frames[0]);
    for (std::size_t i = 2; i < frame_bytes; ++i) {
      const unsigned byte = frames[i];
      const double low = predict(scaled_code(byte & 15u, shift), row, s1, s2);
      const double high = predict(scaled_code(byte >> 4, shift), row, low, s1);
      s2 = low;
      s1 = high;
      out[0] = bare_sample(low);
      out[1] = bare_sample(high);
      out += 2;
    }
  }
  state = {s1, s2};
}

inline void bare_stereo(const std::uint8_t* left, const std::uint8_t* right,
                        std::size_t frame_count, std::int16_t* out, channel_state& left_state,
                        channel_state& right_state) {
  double l1 = left_state.s1;
  double l2 = left_state.s2;
  double r1 = right_state.s1;
  double r2 = right_state.s2;
  for (std::size_t j = 0; j < frame_count; ++j, left += frame_bytes, right += frame_bytes) {
    const predictor lrow = predictor_of(left[0]);
    const predictor rrow = predictor_of(right[0]);
    const unsigned lshift = code_shift(left[0]);
    const unsigned rshift = code_shift(right[0]);
    for (std::size_t i = 2; i < frame_bytes; ++i) {
      const unsigned lbyte = left[i];
      const unsigned rbyte = right[i];
      const double l_low = predict(scaled_code(lbyte & 15u, lshift), lrow, l1, l2);
      const double r_low = predict(scaled_code(rbyte & 15u, rshift), rrow, r1, r2);
      const double l_high = predict(scaled_code(lbyte >> 4, lshift), lrow, l_low, l1);
      const double r_high = predict(scaled_code(rbyte >> 4, rshift), rrow, r_low, r1);
      l2 = l_low;
      l1 = l_high;
      r2 = r_low;
      r1 = r_high;
      out[0] = bare_sample(l_low);
      out[1] = bare_sample(r_low);
      out[2] = bare_sample(l_high);
      out[3] = bare_sample(r_high);
      out += 4;
    }
  }
  left_state = {l1, l2};
  right_state = {r1, r2};
}

}  // namespace zor2wav::bench
