// Containers built in code for the tests: headers, frames, blocks, files.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace zor2wav::test {

using bytes = std::vector<std::uint8_t>;
using frame_bytes_t = std::array<std::uint8_t, 16>;

// A frame of 14 identical data bytes.
frame_bytes_t make_frame(std::uint8_t filter_and_range, std::uint8_t flag, std::uint8_t data);

// A 2048-byte block: the given frames, then copies of filler up to 128 frames.
bytes make_block(const std::vector<frame_bytes_t>& frames, const frame_bytes_t& filler);

// A stream header with the given fields; the name is copied without its NUL
// when it has 16 characters or more (only 16 are kept).
bytes make_header(std::uint32_t channel_length, std::uint32_t channel_count,
                  std::uint32_t sample_rate, std::string_view name);

// Appends b to a.
void append(bytes& a, const bytes& b);

void write_file(const std::filesystem::path& path, const bytes& content);
bytes read_file(const std::filesystem::path& path);

std::uint32_t get_u32le(const bytes& b, std::size_t offset);
std::uint16_t get_u16le(const bytes& b, std::size_t offset);

}  // namespace zor2wav::test
