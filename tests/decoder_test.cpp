#include "adpcm/decoder.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <optional>
#include <random>
#include <vector>

namespace zor2wav {
namespace {

using frame_t = std::array<std::uint8_t, frame_bytes>;

frame_t frame_of(std::uint8_t byte0, std::uint8_t flag, std::initializer_list<std::uint8_t> data) {
  frame_t frame{};
  frame[0] = byte0;
  frame[1] = flag;
  std::copy(data.begin(), data.end(), frame.begin() + 2);
  return frame;
}

struct frame_case {
  const char* what;
  channel_state before;
  frame_t frame;
  std::vector<std::int16_t> first_samples;
  std::optional<double> s1_after;
};

void PrintTo(const frame_case& c, std::ostream* os) { *os << c.what; }

class DecodeFrame : public ::testing::TestWithParam<frame_case> {};

TEST_P(DecodeFrame, GivesExactSamplesAndHistory) {
  const frame_case& c = GetParam();
  set_history(history_slot::mono, c.before);
  std::array<std::int16_t, scratch_samples> scratch{};
  decode_frame(c.frame, scratch, history_slot::mono);
  for (std::size_t i = 0; i < c.first_samples.size(); ++i) {
    EXPECT_EQ(scratch[i], c.first_samples[i]) << "sample " << i;
  }
  if (c.s1_after) {
    EXPECT_EQ(read_history(history_slot::mono).s1, *c.s1_after);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DecodeFrame,
    ::testing::Values(
        // Filter 0, range 12 (shift 0): low nibble 7 first, then high nibble -1
        // gives v = -1.0, whose v + 0.5 truncates to 0.
        frame_case{"shift 0", {0, 0}, frame_of(0x0C, 0, {0xF7}), {7, 0, 0}, 0.0},
        // Shift 12: code 1 is 4096, code -8 is -32768 stored as -32767.
        frame_case{"shift 12", {0, 0}, frame_of(0x00, 0, {0x81}), {4096, -32767}, 0.0},
        // Filter 1 weighs s1 by 60/64: 937.5 rounds half up to 938.
        frame_case{"filter 1", {1000.0, 0}, frame_of(0x1C, 0, {}), {938, 879}, std::nullopt},
        // Filter 2 weighs both: (0 + -52/64 * 64) + 115/64 * 128 = 178.
        frame_case{"filter 2", {128.0, 64.0}, frame_of(0x2C, 0, {0x00}), {178}, std::nullopt},
        // Ranges 13-15 shift by 31, 30, 29 in 32 bits: code 1 at 31 is -2^31.
        frame_case{"range 13", {0, 0}, frame_of(0x0D, 0, {0x01}), {1, 0}, 0.0},
        frame_case{"range 14", {0, 0}, frame_of(0x0E, 0, {0x03}), {1, 0}, 0.0},
        frame_case{"range 15", {0, 0}, frame_of(0x0F, 0, {0x07}), {1, 0}, 0.0},
        // Filter indexes beyond the table decode without prediction.
        frame_case{"filter 15", {5000.0, 7000.0}, frame_of(0xFC, 0, {0x03}), {3, 0}, 0.0}),
    [](const auto& test_info) {
      std::string name = test_info.param.what;
      for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      }
      return name;
    });

TEST(DecodeFrame, ShiftedCodesReachTheHistoryAsThirtyTwoBitValues) {
  struct shift_case {
    std::uint8_t byte0;
    std::uint8_t code;
    double t;
  };
  const shift_case cases[] = {
      {0x0D, 1, -2147483648.0},  // 1 << 31
      {0x0E, 1, 1073741824.0},   // 1 << 30
      {0x0E, 3, -1073741824.0},  // 3 << 30 wraps
      {0x0F, 7, -536870912.0},   // 7 << 29 wraps
      {0x0D, 8, 0.0},            // -8 << 31 loses every bit
  };
  for (const shift_case& c : cases) {
    set_history(history_slot::mono, {0, 0});
    std::array<std::int16_t, scratch_samples> scratch{};
    // The code as the last (high) nibble; the frame's other codes are 0.
    frame_t frame = frame_of(c.byte0, 0, {});
    frame[15] = static_cast<std::uint8_t>(c.code << 4);
    decode_frame(frame, scratch, history_slot::mono);
    EXPECT_EQ(read_history(history_slot::mono).s1, c.t) << int{c.byte0} << " code " << int{c.code};
  }
}

TEST(DecodeFrame, FlagSevenWritesNothingAndKeepsTheHistory) {
  set_history(history_slot::left, {1234.5, -99.25});
  std::array<std::int16_t, scratch_samples> scratch{};
  decode_frame(frame_of(0x4C, 7, {0x77, 0x77}), scratch, history_slot::left);
  EXPECT_EQ(scratch, (std::array<std::int16_t, scratch_samples>{}));
  EXPECT_EQ(read_history(history_slot::left).s1, 1234.5);
  EXPECT_EQ(read_history(history_slot::left).s2, -99.25);
}

TEST(DecodeFrame, SlotsKeepSeparateHistoriesAndWriteTheirOwnPositions) {
  set_history(history_slot::mono, {100.0, 0});
  set_history(history_slot::left, {200.0, 0});
  set_history(history_slot::right, {300.0, 0});
  // Filter 1 with zero codes: each sample is 60/64 of the one before.
  const frame_t frame = frame_of(0x1C, 0, {});
  std::array<std::int16_t, scratch_samples> stereo{};
  decode_frame(frame, stereo, history_slot::left);
  decode_frame(frame, stereo, history_slot::right);
  EXPECT_EQ(stereo[0], 188);  // 187.5
  EXPECT_EQ(stereo[1], 281);  // 281.25
  EXPECT_EQ(stereo[2], 176);  // 175.78125
  EXPECT_EQ(stereo[3], 264);  // 263.671875
  const channel_state left = read_history(history_slot::left);
  const channel_state right = read_history(history_slot::right);
  std::array<std::int16_t, scratch_samples> mono{};
  decode_frame(frame, mono, history_slot::mono);
  EXPECT_EQ(mono[0], 94);  // 93.75
  EXPECT_EQ(mono[1], 88);  // 87.890625
  EXPECT_EQ(mono[28], 0);  // mono writes 0..27 only
  EXPECT_EQ(read_history(history_slot::left).s1, left.s1);
  EXPECT_EQ(read_history(history_slot::right).s1, right.s1);
  EXPECT_NE(left.s1, right.s1);
}

TEST(SampleFromValue, TruncatesHalfUpWithoutClampingForEveryDouble) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const std::pair<double, std::int16_t> cases[] = {
      {937.5, 938},     {-0.5, 0},        {-1.0, 0},  // truncation toward zero of v + 0.5
      {-1.5, -1},       {-1.6, -1},       {-2.0, -1},
      {40000.0, 40000 - 65536},           // wraps, no clamp
      {-32768.0, -32767},                 {65536.0 * 3 + 5, 5},
      {3000000007.0, -41465},             // beyond 32 bits: low 16 bits of the exact value
      {-1099511693311.0, 2},              // -(2^40 + 65535): +0.5 truncates to -(2^40 + 65534)
      {9007199254740994.0, 2},            // 2^53 + 2
      {2147483647.0, -1},                 {-2147483648.0, 1},
      {1e300, 0},       {nan, 0},         {inf, 0},   {-inf, 0},
  };
  for (const auto& [v, sample] : cases) {
    EXPECT_EQ(sample_from_value(v), sample) << "v = " << v;
  }
}

// These history values were found by search so that the first sample lands
// exactly on a rounding boundary: (c2 * s2) + c1 * s1 with both products
// rounded to double is 36053.5, which becomes 36054. A build that fuses the
// multiply and add, or keeps 80-bit intermediates, gets 36053.49999... and
// the sample 36053.
TEST(DecodeFrame, NeitherFusesNorWidensTheArithmetic) {
  set_history(history_slot::mono, {0x1.2776e3da0f8ep+14, -0x1.d30b38b09dddbp+2});
  std::array<std::int16_t, scratch_samples> scratch{};
  decode_frame(frame_of(0x4C, 0, {}), scratch, history_slot::mono);
  const std::array<std::int16_t, samples_per_frame> expected{
      -29482, -14537, -2119,  7541,  14313, 18167, 19165, 17453, 13254, 6856,
      -1404,  -11152, -21991, 32023, 20221, 8524,  -2707, -13153, -22534, -30625,
      28283,  23233,  19821,  18050, 17875, 19200, 21890, 25775};
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), scratch.begin()));
  EXPECT_EQ(scratch[0], 36054 - 65536);
}

// The block entries must give what decode_frame gives, frame after frame,
// on any bytes, flag 7 frames and unknown filters included.
TEST(DecodeBlocks, AgreeWithFrameByFrameDecoding) {
  std::mt19937 rng(20261211);
  std::vector<std::uint8_t> left(64 * frame_bytes);
  std::vector<std::uint8_t> right(64 * frame_bytes);
  for (auto* block : {&left, &right}) {
    for (std::uint8_t& b : *block) b = static_cast<std::uint8_t>(rng());
    for (std::size_t j = 0; j < 64; j += 5) (*block)[j * frame_bytes + 1] = no_samples_flag;
  }
  const channel_state start_left{12.25, -3.5};
  const channel_state start_right{-700.0, 650.0};

  std::vector<std::int16_t> expected_mono;
  std::vector<std::int16_t> expected_stereo;
  set_history(history_slot::mono, start_left);
  set_history(history_slot::left, start_left);
  set_history(history_slot::right, start_right);
  for (std::size_t j = 0; j < 64; ++j) {
    std::array<std::int16_t, scratch_samples> scratch{};
    decode_frame(adpcm_frame(left.data() + j * frame_bytes, frame_bytes), scratch, history_slot::mono);
    expected_mono.insert(expected_mono.end(), scratch.begin(), scratch.begin() + samples_per_frame);
    scratch = {};
    decode_frame(adpcm_frame(left.data() + j * frame_bytes, frame_bytes), scratch, history_slot::left);
    decode_frame(adpcm_frame(right.data() + j * frame_bytes, frame_bytes), scratch, history_slot::right);
    expected_stereo.insert(expected_stereo.end(), scratch.begin(), scratch.end());
  }
  const channel_state end_left = read_history(history_slot::left);
  const channel_state end_right = read_history(history_slot::right);

  set_history(history_slot::mono, start_left);
  set_history(history_slot::left, start_left);
  set_history(history_slot::right, start_right);
  std::vector<std::int16_t> mono(64 * samples_per_frame, -1);
  std::vector<std::int16_t> stereo(64 * scratch_samples, -1);
  decode_mono_frames(left.data(), 64, mono.data());
  decode_stereo_frames(left.data(), right.data(), 64, stereo.data());
  EXPECT_EQ(mono, expected_mono);
  EXPECT_EQ(stereo, expected_stereo);
  EXPECT_EQ(read_history(history_slot::mono).s1, end_left.s1);
  EXPECT_EQ(read_history(history_slot::left).s2, end_left.s2);
  EXPECT_EQ(read_history(history_slot::right).s1, end_right.s1);
}

}  // namespace
}  // namespace zor2wav
