#include "container/scanner.hpp"

#include <array>
#include <cstdio>
#include <cstring>

#include "container/file_io.hpp"
#include "wav/wav_writer.hpp"

namespace zor2wav {
namespace {

constexpr std::array<std::uint8_t, 4> stream_magic{'Z', 'O', 'R', 'F'};
constexpr std::size_t channel_length_offset = 8;
constexpr std::size_t channel_count_offset = 12;
constexpr std::size_t sample_rate_offset = 24;
constexpr std::size_t stream_name_offset = 52;
constexpr std::size_t stream_name_bytes = 16;
// Four times fewer reads than 4 KiB; larger buffers were measured to add
// more to the peak resident memory than they save in time.
constexpr std::size_t input_buffer_bytes = std::size_t{1} << 14;

std::uint32_t get_u32le(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

}  // namespace

std::optional<stream_header> parse_stream_header(
    std::span<const std::uint8_t, stream_header_bytes> bytes) {
  if (std::memcmp(bytes.data(), stream_magic.data(), stream_magic.size()) != 0) {
    return std::nullopt;
  }
  const auto* name = reinterpret_cast<const char*>(bytes.data() + stream_name_offset);
  return stream_header{
      get_u32le(bytes.data() + channel_length_offset),
      get_u32le(bytes.data() + channel_count_offset),
      get_u32le(bytes.data() + sample_rate_offset),
      std::string(name, strnlen(name, stream_name_bytes)),
  };
}

std::uint64_t payload_size_of(std::uint32_t channel_length, std::uint32_t channel_count) {
  const std::uint64_t blocks = (std::uint64_t{channel_length} + block_bytes - 1) / block_bytes;
  return blocks * block_bytes * channel_count;
}

std::string output_name_of(std::uint64_t stream_index, std::string_view stream_name) {
  std::string index = std::to_string(stream_index);
  if (index.size() < 4) {
    index.insert(0, 4 - index.size(), '0');
  }
  return index + '_' + std::string(stream_name) + ".wav";
}

bool scan_container(const char* file_name, std::string_view dest_prefix) {
  // The input's buffer: a container is read in blocks, and a larger buffer
  // saves system calls. Given explicitly, because a C library left to
  // allocate it may ignore the size (glibc then reads 4 KiB at a time).
  // Declared before the file so that it outlives the close.
  std::array<char, input_buffer_bytes> input_buffer;
  const unique_file input = open_file(file_name, "rb");
  std::optional<std::uint64_t> length;
  if (input && !is_directory(input.get())) {
    std::setvbuf(input.get(), input_buffer.data(), _IOFBF, input_buffer.size());
    length = file_length(input.get());
  }
  if (!length) {
    std::printf("error : can't open file. (%s)\n", file_name);
    return false;
  }

  bool all_ok = true;
  std::uint64_t offset = 0;
  for (std::uint64_t stream_index = 0; offset < *length; ++stream_index) {
    if (!seek_to(input.get(), offset)) {
      break;
    }
    std::array<std::uint8_t, stream_header_bytes> bytes{};
    static_cast<void>(std::fread(bytes.data(), 1, bytes.size(), input.get()));
    const std::optional<stream_header> header = parse_stream_header(bytes);
    if (!header) {
      break;
    }
    const std::uint64_t payload_size = payload_size_of(header->channel_length, header->channel_count);
    const std::string output_name = output_name_of(stream_index, header->stream_name);
    std::printf("%s %s bytes", output_name.c_str(), std::to_string(payload_size).c_str());

    const stream_description stream{input.get(),          offset + stream_header_bytes,
                                    payload_size,         dest_prefix,
                                    output_name,          header->channel_count,
                                    header->sample_rate};
    all_ok = convert_stream(stream) && all_ok;
    std::printf("\n");
    // The walk ends at the end of the file, also when a payload claimed more
    // than the file holds. Compared before adding, so that a huge
    // payload_size cannot wrap the offset.
    if (stream_header_bytes + payload_size >= *length - offset) {
      break;
    }
    offset += stream_header_bytes + payload_size;
  }
  return all_ok;
}

}  // namespace zor2wav
