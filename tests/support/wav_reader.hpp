// WAV files read back through libsndfile, a reader independent of ours.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace zor2wav::test {

struct wav_contents {
  int channels;
  int sample_rate;
  std::int64_t frames;
  std::vector<std::int16_t> samples;  // interleaved
};

std::optional<wav_contents> read_wav(const std::filesystem::path& path);

}  // namespace zor2wav::test
