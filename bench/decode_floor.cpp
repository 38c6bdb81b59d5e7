// decode_floor CONTAINER [REPEATS]: the in-memory floors of the end-to-end
// benchmark. Loads every stream's payload, then times over the same frames
// (1) the bare recurrence and (2) zor2wav's decoder, block by block into a
// buffer that stays in cache, alternately, and prints the fastest of REPEATS
// runs of each as "name seconds MB/s" lines (MB = 10^6 bytes of PCM).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bare_recurrence.hpp"
#include "container/file_io.hpp"
#include "container/scanner.hpp"

namespace {

using namespace zor2wav;
constexpr std::size_t frames_per_block = block_bytes / frame_bytes;

struct stream_payload {
  std::uint32_t channels;
  std::vector<std::uint8_t> bytes;
};

std::vector<stream_payload> load(const char* path) {
  std::vector<stream_payload> streams;
  const unique_file input = open_file(path, "rb");
  if (!input) return streams;
  std::array<std::uint8_t, stream_header_bytes> header{};
  while (std::fread(header.data(), 1, header.size(), input.get()) == header.size()) {
    const auto parsed = parse_stream_header(header);
    if (!parsed || (parsed->channel_count != 1 && parsed->channel_count != 2)) break;
    stream_payload s{parsed->channel_count, {}};
    s.bytes.resize(payload_size_of(parsed->channel_length, parsed->channel_count));
    s.bytes.resize(std::fread(s.bytes.data(), 1, s.bytes.size(), input.get()));
    streams.push_back(std::move(s));
  }
  return streams;
}

template <typename Run>
double seconds_of(Run run) {
  const auto start = std::chrono::steady_clock::now();
  run();
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  return took.count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: decode_floor CONTAINER [REPEATS]\n", stderr);
    return 2;
  }
  const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  const std::vector<stream_payload> streams = load(argv[1]);
  std::uint64_t pcm_bytes = 0;
  for (const stream_payload& s : streams) {
    pcm_bytes += s.bytes.size() / block_bytes * frames_per_block * samples_per_frame * 2;
  }
  std::vector<std::int16_t> pcm(frames_per_block * scratch_samples);
  std::int64_t sink = 0;  // keeps the work observable

  const auto run_bare = [&] {
    channel_state mono{};
    channel_state left{};
    channel_state right{};
    for (const stream_payload& s : streams) {
      const std::uint8_t* block = s.bytes.data();
      for (std::size_t b = 0; b < s.bytes.size() / block_bytes / s.channels; ++b) {
        if (s.channels == 1) {
          bench::bare_mono(block, frames_per_block, pcm.data(), mono);
        } else {
          bench::bare_stereo(block, block + block_bytes, frames_per_block, pcm.data(), left, right);
        }
        block += block_bytes * s.channels;
        sink += pcm[0];
      }
    }
  };
  const auto run_decoder = [&] {
    for (const stream_payload& s : streams) {
      const std::uint8_t* block = s.bytes.data();
      for (std::size_t b = 0; b < s.bytes.size() / block_bytes / s.channels; ++b) {
        if (s.channels == 1) {
          decode_mono_frames(block, frames_per_block, pcm.data());
        } else {
          decode_stereo_frames(block, block + block_bytes, frames_per_block, pcm.data());
        }
        block += block_bytes * s.channels;
        sink += pcm[0];
      }
    }
  };
  // Alternated, so that both see the same load on a shared machine.
  double bare = 1e30;
  double decoder = 1e30;
  for (int r = 0; r < repeats; ++r) {
    bare = std::min(bare, seconds_of(run_bare));
    decoder = std::min(decoder, seconds_of(run_decoder));
  }

  std::printf("pcm_bytes %llu\n", static_cast<unsigned long long>(pcm_bytes));
  std::printf("bare_recurrence %.4f %.1f\n", bare, static_cast<double>(pcm_bytes) / bare / 1e6);
  std::printf("decoder %.4f %.1f\n", decoder, static_cast<double>(pcm_bytes) / decoder / 1e6);
  std::fprintf(stderr, "(checksum %lld)\n", static_cast<long long>(sink));
  return 0;
}
