// ADPCM frame decoder: a two-tap predictor with a per-frame shift.
//
// Frame layout (16 bytes, one channel, 28 samples):
//   byte   bits  meaning
//   0      7-4   filter index: row of predictor_table
//   0      3-0   range: codes are shifted left by (12 - range) mod 32
//   1      all   flag: 7 means the frame carries no samples
//   2-15   all   14 data bytes, two 4-bit two's-complement codes each,
//                low nibble first (the earlier sample), then the high nibble
//
// Each sample is v = (t + c2 * s2) + c1 * s1 in IEEE doubles, where t is the
// shifted code and s1, s2 are the channel's last two values; the stored sample
// is v + 0.5 truncated toward zero, wrapped to 16 bits without clamping.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>

namespace zor2wav {

inline constexpr std::size_t frame_bytes = 16;
inline constexpr std::size_t samples_per_frame = 28;
inline constexpr std::uint8_t no_samples_flag = 7;
// One frame time of a stereo stream: 28 samples per channel, interleaved.
inline constexpr std::size_t scratch_samples = 2 * samples_per_frame;

using adpcm_frame = std::span<const std::uint8_t, frame_bytes>;
using sample_scratch = std::span<std::int16_t, scratch_samples>;

// c1 weighs the latest value s1, c2 the one before it (s2).
struct predictor {
  double c1;
  double c2;
};

// Sixteen rows so that every 4-bit filter index stays inside the table: the
// format defines rows 0 to 4, and rows 5 to 15 decode without prediction.
inline constexpr std::array<predictor, 16> predictor_table{{
    {0.0, 0.0},                    // 0: no prediction
    {60.0 / 64.0, 0.0},            // 1: first order
    {115.0 / 64.0, -52.0 / 64.0},  // 2: second order
    {98.0 / 64.0, -55.0 / 64.0},   // 3: second order
    {122.0 / 64.0, -60.0 / 64.0},  // 4: second order
    {0.0, 0.0},                    // 5-15: undefined, treated as row 0
    {0.0, 0.0},
    {0.0, 0.0},
    {0.0, 0.0},
    {0.0, 0.0},
    {0.0, 0.0},
    {0.0, 0.0},
    {0.0, 0.0},
    {0.0, 0.0},
    {0.0, 0.0},
    {0.0, 0.0},
}};

// The per-sample arithmetic, shared with the encoder so that it predicts
// exactly what the decoder computes.

// The row of predictor_table a frame uses, from its byte 0.
inline const predictor& predictor_of(std::uint8_t byte0) { return predictor_table[byte0 >> 4]; }

// The shift of a frame's codes, from its byte 0: ranges 0-12 shift left by
// 12..0; 13-15 wrap to 31, 30, 29.
inline unsigned code_shift(std::uint8_t byte0) { return (12u - (byte0 & 15u)) & 31u; }

// The 4-bit code sign-extended and shifted as a 32-bit two's-complement value.
// The shift works on the unsigned pattern so that no signed overflow occurs.
inline double scaled_code(unsigned nibble, unsigned shift) {
  const std::uint32_t code = (nibble ^ 8u) - 8u;
  return static_cast<double>(static_cast<std::int32_t>(code << shift));
}

// The order of the two additions is part of the format.
inline double predict(double t, const predictor& row, double s1, double s2) {
  return (t + row.c2 * s2) + row.c1 * s1;
}

// Which of the three process-wide histories a channel uses; it also selects
// the scratch positions: mono 0..27, left 0,2..54, right 1,3..55.
enum class history_slot : std::uint8_t { mono = 0, left = 1, right = 2 };

// The last two values decoded on one slot, kept as full doubles.
struct channel_state {
  double s1;
  double s2;
};

// Decodes one frame of one channel into its positions of the scratch and
// advances that slot's history. A frame flagged 7 writes nothing and leaves
// the history as it was.
void decode_frame(adpcm_frame frame, sample_scratch scratch, history_slot slot);

// Block-level entries used by the WAV writer; each gives the same samples and
// history as decode_frame called frame by frame.
// Mono: frame_count frames on the mono slot into 28 * frame_count samples.
// Frames of a flag-7 frame are written as zeros.
void decode_mono_frames(const std::uint8_t* frames, std::size_t frame_count,
                        std::int16_t* samples);
// Stereo: frame j of left and of right into 56 interleaved samples per frame.
void decode_stereo_frames(const std::uint8_t* left, const std::uint8_t* right,
                          std::size_t frame_count, std::int16_t* samples);

// The process-wide history lasts for the whole run and is never reset by the
// program. These two exist so that tests can start from a known history.
channel_state read_history(history_slot slot);
void set_history(history_slot slot, channel_state state);

// Values whose truncation does not fit in 32 bits, and NaN or infinity.
// Rare in real streams: kept out of line so that the decode loops stay small.
[[gnu::cold, gnu::noinline]] std::int16_t sample_from_large_value(double x);

// v + 0.5 truncated toward zero, low 16 bits as a signed sample; 0 for a NaN
// or infinite v. Defined for every double: the cast below is only reached
// when its result fits in 32 bits. One comparison of the magnitude (false
// for NaN) keeps the common path short; the few values it leaves out near
// -2^31 take the other path to the same result.
inline std::int16_t sample_from_value(double v) {
  const double x = v + 0.5;
  if (std::fabs(x) < 2147483648.0) {
    return static_cast<std::int16_t>(static_cast<std::int32_t>(x));
  }
  return sample_from_large_value(x);
}

}  // namespace zor2wav
