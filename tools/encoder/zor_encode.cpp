// zor_encode: makes sound containers for zor2wav, a developer tool.
//
//   zor_encode wav OUT_ZOR.DAT IN.wav...     one stream per 16-bit PCM WAV
//   zor_encode demo OUT_ZOR.DAT              the demo: synthesised music
//   zor_encode bench OUT_ZOR.DAT MIB CH      one CH-channel stream of MIB MiB
//
// The bench container repeats 20 seconds of encoded music until the payload
// is MIB MiB: encoding every frame of a large file would take minutes, and
// the decoder's speed does not depend on which realistic frames it meets.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "container/scanner.hpp"
#include "encoder/signals.hpp"
#include "encoder/zor_encoder.hpp"
#include "wav/wav_writer.hpp"

namespace {

using namespace zor2wav;
using bytes = std::vector<std::uint8_t>;

std::uint32_t u32_at(const bytes& b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
         static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

std::uint16_t u16_at(const bytes& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

// A 16-bit PCM WAV with one or two channels; nothing for anything else.
std::optional<encoder::pcm_stream> read_pcm_wav(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  const bytes file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0 ||
      std::memcmp(file.data() + 8, "WAVE", 4) != 0) {
    return std::nullopt;
  }
  encoder::pcm_stream stream{path.stem().string(), 0, 0, {}};
  bool have_format = false;
  for (std::size_t at = 12; at + 8 <= file.size();) {
    const std::uint32_t size = u32_at(file, at + 4);
    const std::size_t body = at + 8;
    const std::size_t available = std::min<std::size_t>(size, file.size() - body);
    if (std::memcmp(&file[at], "fmt ", 4) == 0 && available >= 16) {
      if (u16_at(file, body) != 1 || u16_at(file, body + 14) != 16) {
        return std::nullopt;
      }
      stream.channel_count = u16_at(file, body + 2);
      stream.sample_rate = u32_at(file, body + 4);
      have_format = true;
    } else if (std::memcmp(&file[at], "data", 4) == 0 && have_format) {
      if (stream.channel_count != 1 && stream.channel_count != 2) {
        return std::nullopt;
      }
      const std::size_t count = available / 2 / stream.channel_count * stream.channel_count;
      for (std::size_t i = 0; i < count; ++i) {
        stream.samples.push_back(static_cast<std::int16_t>(u16_at(file, body + 2 * i)));
      }
      return stream;
    }
    at = body + size + (size & 1u);
  }
  return std::nullopt;
}

bool write_file(const char* path, const bytes& content) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "zor_encode: cannot write %s\n", path);
    return false;
  }
  return true;
}

std::vector<encoder::pcm_stream> demo_streams() {
  std::vector<encoder::pcm_stream> streams;
  streams.push_back({"MUSIC_STEREO", 44100, 2, signals::music(44100, 4.0, 2, 7)});
  streams.push_back({"MUSIC_MONO", 22050, 1, signals::music(22050, 4.0, 1, 11)});
  streams.push_back({"SWEEP", 44100, 1, signals::sine_sweep(44100, 2.0, 40.0, 12000.0, 16000.0)});
  std::vector<std::int16_t> hit;
  const auto left = signals::noise_burst(22050, 0.5, 20000.0, 3);
  const auto right = signals::noise_burst(22050, 0.5, 20000.0, 5);
  for (std::size_t i = 0; i < left.size(); ++i) {
    hit.push_back(left[i]);
    hit.push_back(right[i]);
  }
  streams.push_back({"HIT", 22050, 2, std::move(hit)});
  return streams;
}

int encode_wavs(const char* out_path, int count, char** inputs) {
  std::vector<encoder::pcm_stream> streams;
  for (int i = 0; i < count; ++i) {
    auto stream = read_pcm_wav(inputs[i]);
    if (!stream) {
      std::fprintf(stderr, "zor_encode: %s is not a mono or stereo 16-bit PCM WAV\n", inputs[i]);
      return 1;
    }
    streams.push_back(std::move(*stream));
  }
  return write_file(out_path, encoder::encode_container(streams).bytes) ? 0 : 1;
}

int encode_bench(const char* out_path, const char* mib_text, const char* channels_text) {
  const unsigned long mib = std::strtoul(mib_text, nullptr, 10);
  const unsigned long channels = std::strtoul(channels_text, nullptr, 10);
  const std::uint64_t payload = std::uint64_t{mib} << 20;
  if (mib == 0 || (channels != 1 && channels != 2) || payload / channels > UINT32_MAX) {
    std::fprintf(stderr, "zor_encode: bench needs MIB (1 to 4095 per channel) and 1 or 2 channels\n");
    return 2;
  }
  encoder::pcm_stream piece{"BENCH", 44100, static_cast<std::uint32_t>(channels),
                            signals::music(44100, 20.0, static_cast<std::uint32_t>(channels), 1),
                            false};
  encoder::history slots{};
  const bytes encoded = encoder::encode_stream(piece, slots).bytes;
  const bytes tile(encoded.begin() + stream_header_bytes, encoded.end());

  piece.samples.clear();
  bytes header = encoder::encode_stream(piece, slots).bytes;  // an empty stream's header
  put_u32le(&header[8], static_cast<std::uint32_t>(payload / channels));
  std::ofstream out(out_path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(header.data()), static_cast<std::streamsize>(header.size()));
  // Whole block pairs: the payload and the tile are both multiples of 4096.
  for (std::uint64_t written = 0; written < payload;) {
    const std::uint64_t part = std::min<std::uint64_t>(tile.size(), payload - written);
    out.write(reinterpret_cast<const char*>(tile.data()), static_cast<std::streamsize>(part));
    written += part;
  }
  out.close();
  if (!out) {
    std::fprintf(stderr, "zor_encode: cannot write %s\n", out_path);
    return 1;
  }
  return 0;
}

void print_usage() {
  std::fputs(
      "usage: zor_encode wav OUT_ZOR.DAT IN.wav...   one stream per 16-bit PCM WAV\n"
      "       zor_encode demo OUT_ZOR.DAT            the demo container\n"
      "       zor_encode bench OUT_ZOR.DAT MIB CH    a large container, CH = 1 or 2\n",
      stderr);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "wav" && argc > 3) {
    return encode_wavs(argv[2], argc - 3, argv + 3);
  }
  if (command == "demo" && argc == 3) {
    return write_file(argv[2], encoder::encode_container(demo_streams()).bytes) ? 0 : 1;
  }
  if (command == "bench" && argc == 5) {
    return encode_bench(argv[2], argv[3], argv[4]);
  }
  print_usage();
  return 2;
}
