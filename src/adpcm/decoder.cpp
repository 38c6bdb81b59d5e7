#include "adpcm/decoder.hpp"

#include <cmath>

namespace zor2wav {
namespace {

// One history per slot, zero at start, kept for the whole process: a stream's
// first frames are predicted from what the previous stream on its slot left.
std::array<channel_state, 3> channel_history{};

// The per-frame constants taken from byte 0.
struct frame_setup {
  const predictor& row;
  unsigned shift;
};

frame_setup setup_of(const std::uint8_t* frame) {
  return {predictor_of(frame[0]), code_shift(frame[0])};
}

double predict(const frame_setup& f, double t, double s1, double s2) {
  return zor2wav::predict(t, f.row, s1, s2);
}

bool carries_samples(const std::uint8_t* frame) { return frame[1] != no_samples_flag; }

// Decodes one frame into out[0], out[stride], ... and advances s1 and s2.
// The history is passed as the caller's locals, so that it stays in
// registers from frame to frame: going through memory would add a store and
// a load to the chain of dependent operations at every frame.
template <std::size_t stride>
inline void decode_values(const std::uint8_t* frame, double& s1, double& s2, std::int16_t* out) {
  const frame_setup f = setup_of(frame);
  for (std::size_t i = 2; i < frame_bytes; ++i) {
    const unsigned byte = frame[i];
    const double low = predict(f, scaled_code(byte & 15u, f.shift), s1, s2);
    const double high = predict(f, scaled_code(byte >> 4, f.shift), low, s1);
    s2 = low;
    s1 = high;
    out[0] = sample_from_value(low);
    out[stride] = sample_from_value(high);
    out += 2 * stride;
  }
}

// Both channels of one frame time in one loop, so that the two independent
// dependency chains overlap; the arithmetic per channel is unchanged.
inline void decode_pair(const std::uint8_t* left, const std::uint8_t* right, double& l1,
                        double& l2, double& r1, double& r2, std::int16_t* out) {
  const frame_setup fl = setup_of(left);
  const frame_setup fr = setup_of(right);
  for (std::size_t i = 2; i < frame_bytes; ++i) {
    const unsigned lbyte = left[i];
    const unsigned rbyte = right[i];
    const double l_low = predict(fl, scaled_code(lbyte & 15u, fl.shift), l1, l2);
    const double r_low = predict(fr, scaled_code(rbyte & 15u, fr.shift), r1, r2);
    const double l_high = predict(fl, scaled_code(lbyte >> 4, fl.shift), l_low, l1);
    const double r_high = predict(fr, scaled_code(rbyte >> 4, fr.shift), r_low, r1);
    l2 = l_low;
    l1 = l_high;
    r2 = r_low;
    r1 = r_high;
    out[0] = sample_from_value(l_low);
    out[1] = sample_from_value(r_low);
    out[2] = sample_from_value(l_high);
    out[3] = sample_from_value(r_high);
    out += 4;
  }
}

template <std::size_t stride>
void clear_samples(std::int16_t* out) {
  for (std::size_t i = 0; i < samples_per_frame; ++i) {
    out[i * stride] = 0;
  }
}

channel_state& history_of(history_slot slot) {
  return channel_history[static_cast<std::size_t>(slot)];
}

}  // namespace

std::int16_t sample_from_large_value(double x) {
  if (!std::isfinite(x)) {
    return 0;
  }
  // Within 64 bits the conversion is exact and cheap; beyond, fmod is exact.
  if (x > -9223372036854775808.0 && x < 9223372036854775808.0) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::int64_t>(x)));
  }
  double low = std::fmod(std::trunc(x), 65536.0);
  if (low < 0.0) {
    low += 65536.0;
  }
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(low));
}

void decode_frame(adpcm_frame frame, sample_scratch scratch, history_slot slot) {
  if (!carries_samples(frame.data())) {
    return;
  }
  channel_state& state = history_of(slot);
  double s1 = state.s1;
  double s2 = state.s2;
  if (slot == history_slot::mono) {
    decode_values<1>(frame.data(), s1, s2, scratch.data());
  } else {
    decode_values<2>(frame.data(), s1, s2, scratch.data() + (slot == history_slot::right ? 1 : 0));
  }
  state = {s1, s2};
}

void decode_mono_frames(const std::uint8_t* frames, std::size_t frame_count,
                        std::int16_t* samples) {
  channel_state& state = history_of(history_slot::mono);
  double s1 = state.s1;
  double s2 = state.s2;
  for (std::size_t j = 0; j < frame_count; ++j) {
    const std::uint8_t* frame = frames + j * frame_bytes;
    std::int16_t* out = samples + j * samples_per_frame;
    if (carries_samples(frame)) {
      decode_values<1>(frame, s1, s2, out);
    } else {
      clear_samples<1>(out);
    }
  }
  state = {s1, s2};
}

void decode_stereo_frames(const std::uint8_t* left, const std::uint8_t* right,
                          std::size_t frame_count, std::int16_t* samples) {
  channel_state& left_state = history_of(history_slot::left);
  channel_state& right_state = history_of(history_slot::right);
  double l1 = left_state.s1;
  double l2 = left_state.s2;
  double r1 = right_state.s1;
  double r2 = right_state.s2;
  for (std::size_t j = 0; j < frame_count; ++j) {
    const std::uint8_t* l = left + j * frame_bytes;
    const std::uint8_t* r = right + j * frame_bytes;
    std::int16_t* out = samples + j * scratch_samples;
    const bool l_has = carries_samples(l);
    const bool r_has = carries_samples(r);
    if (l_has && r_has) {
      decode_pair(l, r, l1, l2, r1, r2, out);
      continue;
    }
    if (l_has) {
      decode_values<2>(l, l1, l2, out);
    } else {
      clear_samples<2>(out);
    }
    if (r_has) {
      decode_values<2>(r, r1, r2, out + 1);
    } else {
      clear_samples<2>(out + 1);
    }
  }
  left_state = {l1, l2};
  right_state = {r1, r2};
}

channel_state read_history(history_slot slot) { return history_of(slot); }

void set_history(history_slot slot, channel_state state) { history_of(slot) = state; }

}  // namespace zor2wav
