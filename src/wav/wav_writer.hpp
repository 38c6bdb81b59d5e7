// One stream of a container to one 16-bit PCM WAV file.
//
// WAV header, 44 bytes, integers little-endian:
//   offset  size  field               value
//   0       4     chunk id            "RIFF"
//   4       4     RIFF size           file length - 8
//   8       4     form type           "WAVE"
//   12      4     chunk id            "fmt "
//   16      4     format chunk size   16
//   20      2     format tag          1 (PCM)
//   22      2     channels            channel_count
//   24      4     sample rate         sample_rate
//   28      4     byte rate           block align * sample_rate
//   32      2     block align         2 * channel_count
//   34      2     bits per sample     16
//   36      4     chunk id            "data"
//   40      4     data size           file length - 44
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace zor2wav {

inline constexpr std::size_t wav_header_bytes = 44;
inline constexpr std::size_t riff_size_offset = 4;
inline constexpr std::size_t data_size_offset = 40;

// The header with its start values; make_wav_header fills in a stream's.
inline constexpr std::array<std::uint8_t, wav_header_bytes> wav_header_template{
    'R', 'I', 'F', 'F',  // chunk id
    0,   0,   0,   0,    // RIFF size
    'W', 'A', 'V', 'E',  // form type
    'f', 'm', 't', ' ',  // chunk id
    16,  0,   0,   0,    // format chunk size
    1,   0,              // format tag: PCM
    2,   0,              // channels
    0x44, 0xAC, 0, 0,    // sample rate: 44100
    0x10, 0xB1, 2, 0,    // byte rate: 176400
    4,   0,              // block align
    16,  0,              // bits per sample
    'd', 'a', 't', 'a',  // chunk id
    0,   0,   0,   0,    // data size
};

// A channel-0 frame equal to this ends the decoding of its block.
inline constexpr std::array<std::uint8_t, 16> end_marker{
    0x00, 0x07, 0x77, 0x77, 0x77, 0x77, 0x77, 0x77,
    0x77, 0x77, 0x77, 0x77, 0x77, 0x77, 0x77, 0x77,
};

// PCM is gathered here and written in pieces of this size, a dot for each.
inline constexpr std::size_t staging_buffer_bytes = 1048578;

// The size fields are 32-bit: no file grows beyond this.
inline constexpr std::uint64_t max_wav_file_bytes = std::uint64_t{1} << 32;

inline void put_u16le(std::uint8_t* p, std::uint16_t value) {
  p[0] = static_cast<std::uint8_t>(value);
  p[1] = static_cast<std::uint8_t>(value >> 8);
}

inline void put_u32le(std::uint8_t* p, std::uint32_t value) {
  put_u16le(p, static_cast<std::uint16_t>(value));
  put_u16le(p + 2, static_cast<std::uint16_t>(value >> 16));
}

std::array<std::uint8_t, wav_header_bytes> make_wav_header(std::uint32_t channel_count,
                                                           std::uint32_t sample_rate,
                                                           std::uint32_t data_size);

// dest_prefix followed by the part of output_name after its last '/' or '\',
// so that no stream name can lead out of the destination directory.
std::string output_path_of(std::string_view dest_prefix, std::string_view output_name);

// What the scanner hands over for one stream. The input stays the scanner's;
// convert_stream may move its position and set its end-of-file indicator.
struct stream_description {
  std::FILE* input;
  std::uint64_t payload_offset;
  std::uint64_t payload_size;
  std::string_view dest_prefix;
  std::string_view output_name;
  std::uint32_t channel_count;
  std::uint32_t sample_rate;
};

// Writes the stream's WAV file, printing progress dots or an error message on
// the console line the scanner opened. Returns false when an error message was
// printed. max_file_bytes exists for tests of the size limit.
bool convert_stream(const stream_description& stream,
                    std::uint64_t max_file_bytes = max_wav_file_bytes);

}  // namespace zor2wav
