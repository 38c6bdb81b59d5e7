#include "support/container_builder.hpp"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "wav/wav_writer.hpp"

namespace zor2wav::test {

frame_bytes_t make_frame(std::uint8_t filter_and_range, std::uint8_t flag, std::uint8_t data) {
  frame_bytes_t frame{};
  frame[0] = filter_and_range;
  frame[1] = flag;
  std::fill(frame.begin() + 2, frame.end(), data);
  return frame;
}

bytes make_block(const std::vector<frame_bytes_t>& frames, const frame_bytes_t& filler) {
  bytes block;
  for (std::size_t j = 0; j < 128; ++j) {
    const frame_bytes_t& frame = j < frames.size() ? frames[j] : filler;
    block.insert(block.end(), frame.begin(), frame.end());
  }
  return block;
}

bytes make_header(std::uint32_t channel_length, std::uint32_t channel_count,
                  std::uint32_t sample_rate, std::string_view name) {
  bytes header(2048, 0);
  std::copy_n("ZORF", 4, header.begin());
  put_u32le(&header[8], channel_length);
  put_u32le(&header[12], channel_count);
  put_u32le(&header[24], sample_rate);
  std::copy_n(name.begin(), std::min<std::size_t>(name.size(), 16), header.begin() + 52);
  return header;
}

void append(bytes& a, const bytes& b) { a.insert(a.end(), b.begin(), b.end()); }

void write_file(const std::filesystem::path& path, const bytes& content) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(content.data()),
            static_cast<std::streamsize>(content.size()));
}

bytes read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint32_t get_u32le(const bytes& b, std::size_t offset) {
  return static_cast<std::uint32_t>(b.at(offset)) | static_cast<std::uint32_t>(b.at(offset + 1)) << 8 |
         static_cast<std::uint32_t>(b.at(offset + 2)) << 16 |
         static_cast<std::uint32_t>(b.at(offset + 3)) << 24;
}

std::uint16_t get_u16le(const bytes& b, std::size_t offset) {
  return static_cast<std::uint16_t>(b.at(offset) | b.at(offset + 1) << 8);
}

}  // namespace zor2wav::test
