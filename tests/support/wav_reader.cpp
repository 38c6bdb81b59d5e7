#include "support/wav_reader.hpp"

#include <sndfile.h>

namespace zor2wav::test {

std::optional<wav_contents> read_wav(const std::filesystem::path& path) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr) {
    return std::nullopt;
  }
  wav_contents contents{info.channels, info.samplerate, info.frames, {}};
  contents.samples.resize(static_cast<std::size_t>(info.frames * info.channels));
  const sf_count_t got = sf_read_short(file, contents.samples.data(),
                                       static_cast<sf_count_t>(contents.samples.size()));
  sf_close(file);
  if (got != static_cast<sf_count_t>(contents.samples.size())) {
    return std::nullopt;
  }
  return contents;
}

}  // namespace zor2wav::test
