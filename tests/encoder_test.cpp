// The container encoder: its search finds frames the decoder can produce,
// its history tracking matches zor2wav bit for bit, and its round trip keeps
// the signal-to-noise ratio the demo and benchmarks rely on.
#include "encoder/zor_encoder.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "encoder/signals.hpp"
#include "support/container_builder.hpp"
#include "support/run_program.hpp"
#include "support/wav_reader.hpp"

namespace zor2wav::test {
namespace {

// Whether every value the frame decodes to, before the wrap to 16 bits, is
// well inside the sample range.
bool stays_within_16_bits(const encoder::frame& frame, channel_state state) {
  const predictor& row = predictor_of(frame[0]);
  const unsigned shift = code_shift(frame[0]);
  for (std::size_t i = 0; i < samples_per_frame; ++i) {
    const unsigned nibble = (frame[2 + i / 2] >> (4 * (i % 2))) & 15u;
    const double v = predict(scaled_code(nibble, shift), row, state.s1, state.s2);
    state = {v, state.s1};
    if (std::fabs(v) > 30000.0) return false;
  }
  return true;
}

// Frames the decoder produces are found again with no error, for every row
// and range, and the encoder's history is the decoder's after its own frame.
TEST(EncodeFrame, FindsEveryRowAndRangeAgainAndTracksTheDecoderHistory) {
  std::mt19937 rng(1211);
  for (unsigned row = 0; row < 5; ++row) {
    // Shift 0 is left out: there a target can sit halfway between two codes.
    for (unsigned range = 0; range < 12; ++range) {
      // A random frame whose values stay well inside 16 bits: a wrapped
      // target is not a signal anyone encodes.
      channel_state start{};
      encoder::frame source{};
      std::array<std::int16_t, scratch_samples> target{};
      bool in_range = false;
      for (int attempt = 0; attempt < 10000 && !in_range; ++attempt) {
        start = {static_cast<double>(rng() % 2001) - 1000.0, static_cast<double>(rng() % 2001) - 1000.0};
        source[0] = static_cast<std::uint8_t>(row << 4 | range);
        // Codes -3 to 3, so that the large shifts too find frames in range.
        const auto code = [&rng] { return static_cast<unsigned>(static_cast<int>(rng() % 7) - 3) & 15u; };
        for (std::size_t i = 2; i < frame_bytes; ++i) source[i] = static_cast<std::uint8_t>(code() | code() << 4);
        set_history(history_slot::mono, start);
        target = {};
        decode_frame(source, target, history_slot::mono);
        in_range = stays_within_16_bits(source, start);
      }
      ASSERT_TRUE(in_range) << "row " << row << " range " << range;

      channel_state state = start;
      std::array<std::int16_t, samples_per_frame> predicted{};
      const encoder::frame found = encoder::encode_frame(
          std::span(target).first(samples_per_frame), state, predicted);
      set_history(history_slot::mono, start);
      std::array<std::int16_t, scratch_samples> decoded{};
      decode_frame(found, decoded, history_slot::mono);
      const std::string what = "row " + std::to_string(row) + " range " + std::to_string(range);
      EXPECT_TRUE(std::equal(predicted.begin(), predicted.end(), target.begin())) << what;
      EXPECT_TRUE(std::equal(predicted.begin(), predicted.end(), decoded.begin())) << what;
      EXPECT_EQ(state.s1, read_history(history_slot::mono).s1) << what;
      EXPECT_EQ(state.s2, read_history(history_slot::mono).s2) << what;
    }
  }
}

double snr_db(const std::vector<std::int16_t>& original, const std::vector<std::int16_t>& decoded) {
  double signal = 0.0;
  double noise = 0.0;
  for (std::size_t i = 0; i < original.size(); ++i) {
    const double x = original[i];
    const double miss = x - decoded.at(i);
    signal += x * x;
    noise += miss * miss;
  }
  return 10.0 * std::log10(signal / noise);
}

std::vector<std::int16_t> interleave(const std::vector<std::int16_t>& left,
                                     const std::vector<std::int16_t>& right) {
  std::vector<std::int16_t> both;
  for (std::size_t i = 0; i < left.size(); ++i) {
    both.push_back(left[i]);
    both.push_back(right[i]);
  }
  return both;
}

// Encoded, converted by the real executable and read back: the WAVs hold
// exactly what the encoder predicted (history carried from stream to stream
// on a shared slot, a marker mid-block, stereo, a block filled with
// silence), and the signal comes back with a measured signal-to-noise ratio.
TEST(EncoderRoundTrip, ConvertsBackExactlyAsPredictedWithAHighSignalToNoiseRatio) {
  const auto sweep = signals::sine_sweep(44100, 1.5, 30.0, 8000.0, 20000.0);
  const auto burst = signals::noise_burst(22050, 0.4, 24000.0, 99);
  const auto music = signals::music(32000, 1.0, 2, 5);
  const std::vector<encoder::pcm_stream> streams{
      {"SWEEP", 44100, 1, sweep, true},
      {"BURST", 22050, 1, burst, true},  // starts from the sweep's history
      {"MUSIC", 32000, 2, music, true},
      {"BOTH", 44100, 2, interleave(sweep, std::vector<std::int16_t>(sweep.rbegin(), sweep.rend())), false},
  };
  const encoder::encoded_container container = encoder::encode_container(streams);

  scratch_dir dir;
  write_file(dir / "trip_ZOR.DAT", container.bytes);
  std::filesystem::create_directories(dir / "out");
  const run_result run = run_zor2wav({(dir / "trip_ZOR.DAT").string(), (dir / "out").string()});
  ASSERT_EQ(run.exit_status, 0) << run.output;

  struct expectation {
    const char* file;
    double min_snr_db;  // measured, less a margin
  };
  // Measured: sweep 40.0 dB, music 48.4 dB, the stereo sweeps 40.1 dB. White
  // noise cannot be predicted, so 4-bit codes give it about 21.3 dB.
  const expectation expected[] = {
      {"0000_SWEEP.wav", 39.0}, {"0001_BURST.wav", 20.5}, {"0002_MUSIC.wav", 47.0}, {"0003_BOTH.wav", 39.0}};
  for (std::size_t s = 0; s < streams.size(); ++s) {
    SCOPED_TRACE(expected[s].file);
    const auto wav = read_wav(dir / "out" / expected[s].file);
    ASSERT_TRUE(wav);
    EXPECT_EQ(wav->channels, static_cast<int>(streams[s].channel_count));
    EXPECT_EQ(wav->sample_rate, static_cast<int>(streams[s].sample_rate));
    EXPECT_EQ(wav->samples, container.decoded[s]);
    ASSERT_GE(wav->samples.size(), streams[s].samples.size());
    const double snr = snr_db(streams[s].samples, wav->samples);
    EXPECT_GE(snr, expected[s].min_snr_db);
  }
  // The marker ends a stream within its last frame; silence fills a block.
  EXPECT_EQ(container.decoded[0].size(), (sweep.size() + 27) / 28 * 28);
  EXPECT_EQ(container.decoded[3].size() % (2 * 128 * 28), 0u);
}

}  // namespace
}  // namespace zor2wav::test
