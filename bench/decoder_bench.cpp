// Decoder throughput in samples per second (items) and PCM bytes per second,
// mono and stereo, over encoded music and over random frames, next to the
// bare recurrence over the same frames. The decoder is called block by
// block into a buffer that stays in cache, as the WAV writer calls it.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "bare_recurrence.hpp"
#include "container/scanner.hpp"
#include "encoder/signals.hpp"
#include "encoder/zor_encoder.hpp"

namespace {

using namespace zor2wav;

constexpr std::size_t frames_per_block = block_bytes / frame_bytes;

// A channel's blocks; stereo payloads alternate left and right blocks.
struct payload {
  std::vector<std::uint8_t> bytes;
  std::uint32_t channels;
  std::size_t blocks() const { return bytes.size() / block_bytes / channels; }
};

payload encoded_music(std::uint32_t channels) {
  const encoder::pcm_stream stream{"BENCH", 44100, channels,
                                   signals::music(44100, 6.0, channels, 1), false};
  encoder::history slots{};
  std::vector<std::uint8_t> bytes = encoder::encode_stream(stream, slots).bytes;
  bytes.erase(bytes.begin(), bytes.begin() + stream_header_bytes);
  return {std::move(bytes), channels};
}

// Any byte pattern, as from a corrupt or hostile file: shifts up to 31 give
// values beyond 32 bits, which take the decoder's slow conversion.
payload random_frames(std::uint32_t channels) {
  std::mt19937 rng(42);
  payload p{std::vector<std::uint8_t>(std::size_t{1} << 20), channels};
  for (std::uint8_t& b : p.bytes) b = static_cast<std::uint8_t>(rng());
  return p;
}

const payload& music_mono() {
  static const payload p = encoded_music(1);
  return p;
}
const payload& music_stereo() {
  static const payload p = encoded_music(2);
  return p;
}
const payload& random_mono() {
  static const payload p = random_frames(1);
  return p;
}
const payload& random_stereo() {
  static const payload p = random_frames(2);
  return p;
}

void count(benchmark::State& state, const payload& p) {
  const auto samples = static_cast<std::int64_t>(p.blocks() * frames_per_block * samples_per_frame * p.channels);
  state.SetItemsProcessed(state.iterations() * samples);
  state.SetBytesProcessed(state.iterations() * samples * 2);
}

void decode_mono(benchmark::State& state, const payload& p) {
  std::vector<std::int16_t> pcm(frames_per_block * samples_per_frame);
  for (auto _ : state) {
    for (std::size_t b = 0; b < p.blocks(); ++b) {
      decode_mono_frames(p.bytes.data() + b * block_bytes, frames_per_block, pcm.data());
      benchmark::DoNotOptimize(pcm.data());
      benchmark::ClobberMemory();
    }
  }
  count(state, p);
}

void decode_stereo(benchmark::State& state, const payload& p) {
  std::vector<std::int16_t> pcm(frames_per_block * scratch_samples);
  for (auto _ : state) {
    for (std::size_t b = 0; b < p.blocks(); ++b) {
      const std::uint8_t* left = p.bytes.data() + 2 * b * block_bytes;
      decode_stereo_frames(left, left + block_bytes, frames_per_block, pcm.data());
      benchmark::DoNotOptimize(pcm.data());
      benchmark::ClobberMemory();
    }
  }
  count(state, p);
}

void bare_mono_loop(benchmark::State& state, const payload& p) {
  std::vector<std::int16_t> pcm(frames_per_block * samples_per_frame);
  channel_state history{};
  for (auto _ : state) {
    for (std::size_t b = 0; b < p.blocks(); ++b) {
      bench::bare_mono(p.bytes.data() + b * block_bytes, frames_per_block, pcm.data(), history);
      benchmark::DoNotOptimize(pcm.data());
      benchmark::ClobberMemory();
    }
  }
  count(state, p);
}

void bare_stereo_loop(benchmark::State& state, const payload& p) {
  std::vector<std::int16_t> pcm(frames_per_block * scratch_samples);
  channel_state left_history{};
  channel_state right_history{};
  for (auto _ : state) {
    for (std::size_t b = 0; b < p.blocks(); ++b) {
      const std::uint8_t* left = p.bytes.data() + 2 * b * block_bytes;
      bench::bare_stereo(left, left + block_bytes, frames_per_block, pcm.data(), left_history,
                         right_history);
      benchmark::DoNotOptimize(pcm.data());
      benchmark::ClobberMemory();
    }
  }
  count(state, p);
}

void BM_DecodeMonoMusic(benchmark::State& state) { decode_mono(state, music_mono()); }
void BM_BareMonoMusic(benchmark::State& state) { bare_mono_loop(state, music_mono()); }
void BM_DecodeStereoMusic(benchmark::State& state) { decode_stereo(state, music_stereo()); }
void BM_BareStereoMusic(benchmark::State& state) { bare_stereo_loop(state, music_stereo()); }
void BM_DecodeMonoRandom(benchmark::State& state) { decode_mono(state, random_mono()); }
void BM_BareMonoRandom(benchmark::State& state) { bare_mono_loop(state, random_mono()); }
void BM_DecodeStereoRandom(benchmark::State& state) { decode_stereo(state, random_stereo()); }
void BM_BareStereoRandom(benchmark::State& state) { bare_stereo_loop(state, random_stereo()); }

}  // namespace

BENCHMARK(BM_DecodeMonoMusic);
BENCHMARK(BM_BareMonoMusic);
BENCHMARK(BM_DecodeStereoMusic);
BENCHMARK(BM_BareStereoMusic);
BENCHMARK(BM_DecodeMonoRandom);
BENCHMARK(BM_BareMonoRandom);
BENCHMARK(BM_DecodeStereoRandom);
BENCHMARK(BM_BareStereoRandom);

BENCHMARK_MAIN();
