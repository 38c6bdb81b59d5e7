#include "wav/wav_writer.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <new>

#include "adpcm/decoder.hpp"
#include "container/file_io.hpp"
#include "container/scanner.hpp"

namespace zor2wav {
namespace {

constexpr std::size_t max_path_chars = 511;
constexpr std::size_t frames_per_block = block_bytes / frame_bytes;

// The output file of one stream. Unless finish() succeeds, the destructor
// closes and removes it, so that no failed stream leaves a WAV behind.
struct output_file {
  std::string path;
  unique_file file;

  // A path longer than the format's 511 characters is not created, nor one
  // that names the container being read (its name may be an output's).
  output_file(std::string file_path, std::FILE* input) : path(std::move(file_path)) {
    if (path.size() <= max_path_chars && !is_same_file(input, path.c_str())) {
      file = open_file(path.c_str(), "wb");
    }
  }
  output_file(const output_file&) = delete;
  output_file& operator=(const output_file&) = delete;
  ~output_file() {
    if (file) {
      file.reset();
      std::remove(path.c_str());
    }
  }

  bool write(const std::uint8_t* bytes, std::size_t count) {
    return std::fwrite(bytes, 1, count, file.get()) == count;
  }

  bool write_u32le_at(std::uint64_t offset, std::uint32_t value) {
    std::array<std::uint8_t, 4> bytes{};
    put_u32le(bytes.data(), value);
    return seek_to(file.get(), offset) && write(bytes.data(), bytes.size());
  }

  // Closes the file and keeps it when the close succeeds.
  bool finish() {
    const bool closed = std::fclose(file.release()) == 0;
    if (!closed) {
      std::remove(path.c_str());
    }
    return closed;
  }
};

void print_dot() {
  std::fputs(".", stdout);
  std::fflush(stdout);
}

// PCM on its way to the file: gathered in the staging buffer, written with a
// dot each time the buffer is full and more samples follow, and once more at
// the end.
struct pcm_sink {
  output_file& out;
  std::uint8_t* buffer;
  std::size_t fill = 0;
  std::uint64_t data_bytes = 0;

  bool append(const std::int16_t* samples, std::size_t count) {
    while (count > 0) {
      if (fill == staging_buffer_bytes) {
        print_dot();
        if (!out.write(buffer, fill)) {
          return false;
        }
        fill = 0;
      }
      const std::size_t taken = std::min(count, (staging_buffer_bytes - fill) / 2);
      store_le(samples, taken);
      samples += taken;
      count -= taken;
    }
    return true;
  }

  // Room for count samples at the end of the buffer, to decode into
  // directly, or nullptr when they do not fit whole or the samples need
  // their bytes swapped.
  std::int16_t* room_for(std::size_t count) {
    if constexpr (std::endian::native == std::endian::little) {
      if (staging_buffer_bytes - fill >= count * 2) {
        // The buffer is an unsigned char array from new[] and fill is even,
        // so this is storage for suitably aligned int16_t samples.
        return reinterpret_cast<std::int16_t*>(buffer + fill);
      }
    }
    return nullptr;
  }

  // Takes count samples written at room_for(count).
  void commit(std::size_t count) {
    fill += count * 2;
    data_bytes += count * 2;
  }

  bool finish() {
    if (fill == 0) {
      return true;
    }
    const bool written = out.write(buffer, fill);
    print_dot();
    return written;
  }

 private:
  void store_le(const std::int16_t* samples, std::size_t count) {
    std::uint8_t* dest = buffer + fill;
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(dest, samples, count * 2);
    } else {
      for (std::size_t i = 0; i < count; ++i) {
        put_u16le(dest + 2 * i, static_cast<std::uint16_t>(samples[i]));
      }
    }
    commit(count);
  }
};

// Frames of block A to decode: those read whole, up to the first end marker.
std::size_t frames_to_decode(const std::uint8_t* block_a, std::size_t whole_frames) {
  for (std::size_t j = 0; j < whole_frames; ++j) {
    if (std::memcmp(block_a + j * frame_bytes, end_marker.data(), frame_bytes) == 0) {
      return j;
    }
  }
  return whole_frames;
}

bool report_write_error(const output_file& out) {
  std::printf("\nerror : can't write file. (%s)", out.path.c_str());
  return false;
}

}  // namespace

std::array<std::uint8_t, wav_header_bytes> make_wav_header(std::uint32_t channel_count,
                                                           std::uint32_t sample_rate,
                                                           std::uint32_t data_size) {
  std::array<std::uint8_t, wav_header_bytes> header = wav_header_template;
  const auto block_align = static_cast<std::uint16_t>(2 * channel_count);
  put_u32le(&header[riff_size_offset], data_size + 36);
  put_u16le(&header[22], static_cast<std::uint16_t>(channel_count));
  put_u32le(&header[24], sample_rate);
  put_u32le(&header[28], block_align * sample_rate);
  put_u16le(&header[32], block_align);
  put_u32le(&header[data_size_offset], data_size);
  return header;
}

std::string output_path_of(std::string_view dest_prefix, std::string_view output_name) {
  const std::size_t last_separator = output_name.find_last_of("/\\");
  if (last_separator != std::string_view::npos) {
    output_name.remove_prefix(last_separator + 1);
  }
  return std::string(dest_prefix).append(output_name);
}

bool convert_stream(const stream_description& stream, std::uint64_t max_file_bytes) {
  const std::uint32_t channels = stream.channel_count;
  if (channels != 1 && channels != 2) {
    std::printf("\nerror : unsupported channel count. (%u)", static_cast<unsigned>(channels));
    return false;
  }

  output_file out(output_path_of(stream.dest_prefix, stream.output_name), stream.input);
  if (!out.file) {
    std::printf("\nerror : can't create file. (%s)", out.path.c_str());
    return false;
  }

  // Data sizes stay whole sample frames and within the 32-bit size fields.
  const std::uint64_t frame_align = 2 * channels;
  const std::uint64_t max_data_bytes =
      max_file_bytes > wav_header_bytes
          ? (max_file_bytes - wav_header_bytes) / frame_align * frame_align
          : 0;
  const std::uint64_t expected_data_bytes = stream.payload_size / frame_bytes * samples_per_frame * 2;
  const auto provisional = static_cast<std::uint32_t>(std::min(expected_data_bytes, max_data_bytes));
  const auto header = make_wav_header(channels, stream.sample_rate, provisional);
  if (!out.write(header.data(), header.size())) {
    return report_write_error(out);
  }

  const std::unique_ptr<std::uint8_t[]> staging(new (std::nothrow) std::uint8_t[staging_buffer_bytes]);
  if (!staging) {
    std::printf("\nerror : can't allocate memory. (%d bytes)", 1048576);
    return false;
  }
  pcm_sink sink{out, staging.get()};

  std::array<std::uint8_t, block_bytes> block_a{};
  std::array<std::uint8_t, block_bytes> block_b{};
  std::array<std::int16_t, frames_per_block * scratch_samples> pcm{};
  const std::uint64_t block_count = stream.payload_size / block_bytes / channels;
  bool cut_at_limit = false;
  bool input_ended = !seek_to(stream.input, stream.payload_offset);
  for (std::uint64_t step = 0; step < block_count && !input_ended && !cut_at_limit; ++step) {
    // A short read ends the stream: only the frames read whole are decoded,
    // for stereo those whole in both blocks.
    std::size_t got = std::fread(block_a.data(), 1, block_bytes, stream.input);
    if (channels == 2) {
      got = got == block_bytes ? std::fread(block_b.data(), 1, block_bytes, stream.input) : 0;
    }
    input_ended = got < block_bytes;
    const std::size_t frames = frames_to_decode(block_a.data(), got / frame_bytes);
    std::size_t samples = frames * samples_per_frame * channels;
    const std::uint64_t room = max_data_bytes - sink.data_bytes;
    if (samples * 2 > room) {
      samples = static_cast<std::size_t>(room / 2);
      cut_at_limit = true;
    }
    // Most blocks fit whole in the staging buffer and are decoded straight
    // into it; the others go through pcm and are split where the buffer
    // is written out.
    std::int16_t* direct = cut_at_limit ? nullptr : sink.room_for(samples);
    std::int16_t* decoded = direct != nullptr ? direct : pcm.data();
    if (channels == 1) {
      decode_mono_frames(block_a.data(), frames, decoded);
    } else {
      decode_stereo_frames(block_a.data(), block_b.data(), frames, decoded);
    }
    if (direct != nullptr) {
      sink.commit(samples);
    } else if (!sink.append(pcm.data(), samples)) {
      return report_write_error(out);
    }
  }
  if (!sink.finish()) {
    return report_write_error(out);
  }

  const std::uint64_t file_bytes = wav_header_bytes + sink.data_bytes;
  if (!out.write_u32le_at(riff_size_offset, static_cast<std::uint32_t>(file_bytes - 8)) ||
      !out.write_u32le_at(data_size_offset, static_cast<std::uint32_t>(file_bytes - wav_header_bytes)) ||
      !out.finish()) {
    return report_write_error(out);
  }
  if (cut_at_limit) {
    std::printf("\nerror : wav file size limit reached. (%s bytes)",
                std::to_string(max_file_bytes).c_str());
    return false;
  }
  return true;
}

}  // namespace zor2wav
