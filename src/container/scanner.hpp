// The sound container: a sequence of streams, each a 2048-byte stream header
// followed by its payload; the first header is at offset 0 and each next one
// follows the previous payload directly. All integers are little-endian.
//
// stream_header:
//   offset  size  field
//   0       4     magic "ZORF"
//   4       4     (not read)
//   8       4     channel_length: encoded payload bytes of one channel
//   12      4     channel_count: 1 mono, 2 stereo
//   16      8     (not read)
//   24      4     sample_rate: samples per second of each channel
//   28      24    (not read)
//   52      16    stream_name: 8-bit characters, NUL-terminated unless all 16 are used
//   68      1980  (not read)
//
// Payload: channel_length rounded up to 2048, times channel_count bytes, in
// 2048-byte blocks of 128 frames. Mono: the blocks of its one channel. Stereo:
// block pairs, a left block followed by the right block of the same time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zor2wav {

inline constexpr std::size_t stream_header_bytes = 2048;
inline constexpr std::size_t block_bytes = 2048;

struct stream_header {
  std::uint32_t channel_length;
  std::uint32_t channel_count;
  std::uint32_t sample_rate;
  std::string stream_name;
};

// The header's fields, or nothing when the magic is missing.
std::optional<stream_header> parse_stream_header(
    std::span<const std::uint8_t, stream_header_bytes> bytes);

// channel_length rounded up to a whole block, times channel_count; in 64 bits
// so that a lying header cannot wrap it.
std::uint64_t payload_size_of(std::uint32_t channel_length, std::uint32_t channel_count);

// "%04d_%s.wav" of the stream's index and name.
std::string output_name_of(std::uint64_t stream_index, std::string_view stream_name);

// Converts every stream of the container into a WAV file under dest_prefix
// (empty or ending in a path separator). Returns false when an error message
// was printed.
bool scan_container(const char* file_name, std::string_view dest_prefix);

}  // namespace zor2wav
