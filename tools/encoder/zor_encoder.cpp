#include "encoder/zor_encoder.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "container/scanner.hpp"
#include "wav/wav_writer.hpp"

namespace zor2wav::encoder {
namespace {

constexpr unsigned predictor_rows = 5;  // the rows the format defines
constexpr unsigned max_shift = 12;      // ranges 0-12; 13-15 wrap oddly
constexpr std::size_t frames_per_block = block_bytes / frame_bytes;

using targets = std::array<double, samples_per_frame>;
using nibbles = std::array<std::uint8_t, samples_per_frame>;
using samples = std::array<std::int16_t, samples_per_frame>;

struct trial {
  double error;
  nibbles codes;
  samples decoded;
  channel_state state;
};

std::uint8_t byte0_of(unsigned row, unsigned shift) {
  return static_cast<std::uint8_t>(row << 4 | (max_shift - shift));
}

// Runs the decoder's arithmetic over the frame for one row and shift,
// choosing each code as the one nearest to the prediction's residual. Stops
// early once the error reaches give_up: that trial cannot win.
void simulate(const targets& x, std::uint8_t byte0, channel_state state, double give_up,
              trial& out) {
  const predictor& row = predictor_of(byte0);
  const unsigned shift = code_shift(byte0);
  const double step = std::ldexp(1.0, static_cast<int>(shift));
  double s1 = state.s1;
  double s2 = state.s2;
  double error = 0.0;
  for (std::size_t i = 0; i < samples_per_frame; ++i) {
    const double residual = x[i] - predict(0.0, row, s1, s2);
    // Clamped before the conversion, which is then always defined.
    const double code = std::clamp(std::nearbyint(residual / step), -8.0, 7.0);
    auto nibble = static_cast<unsigned>(static_cast<int>(code) & 15);
    double v = predict(scaled_code(nibble, shift), row, s1, s2);
    std::int16_t sample = sample_from_value(v);
    double miss = x[i] - sample;
    // The truncation of negative values can make the neighbouring code the
    // closer one: try it on the side of the miss.
    const double other_code = code + (miss > 0.0 ? 1.0 : -1.0);
    if (miss != 0.0 && other_code >= -8.0 && other_code <= 7.0) {
      const auto other_nibble = static_cast<unsigned>(static_cast<int>(other_code) & 15);
      const double other_v = predict(scaled_code(other_nibble, shift), row, s1, s2);
      const std::int16_t other_sample = sample_from_value(other_v);
      const double other_miss = x[i] - other_sample;
      if (std::fabs(other_miss) < std::fabs(miss)) {
        nibble = other_nibble;
        v = other_v;
        sample = other_sample;
        miss = other_miss;
      }
    }
    s2 = s1;
    s1 = v;
    error += miss * miss;
    out.codes[i] = static_cast<std::uint8_t>(nibble);
    out.decoded[i] = sample;
    if (error >= give_up) {
      out.error = error;
      return;
    }
  }
  out.error = error;
  out.state = {s1, s2};
}

// The smallest shift whose codes span the open-loop residuals of a row: a
// good first guess that makes the exhaustive search stop early.
unsigned estimated_shift(const targets& x, unsigned row_index, channel_state state) {
  const predictor& row = predictor_table[row_index];
  double s1 = state.s1;
  double s2 = state.s2;
  double largest = 0.0;
  for (const double target : x) {
    largest = std::max(largest, std::fabs(target - predict(0.0, row, s1, s2)));
    s2 = s1;
    s1 = target;
  }
  unsigned shift = 0;
  while (shift < max_shift && largest > 7.0 * std::ldexp(1.0, static_cast<int>(shift))) {
    ++shift;
  }
  return shift;
}

void put_frame(std::vector<std::uint8_t>& out, std::size_t offset, const frame& f) {
  std::copy(f.begin(), f.end(), out.begin() + static_cast<std::ptrdiff_t>(offset));
}

std::vector<std::uint8_t> header_of(const pcm_stream& stream, std::uint32_t channel_length) {
  std::vector<std::uint8_t> header(stream_header_bytes, 0);
  std::copy_n("ZORF", 4, header.begin());
  put_u32le(&header[8], channel_length);
  put_u32le(&header[12], stream.channel_count);
  put_u32le(&header[24], stream.sample_rate);
  std::copy_n(stream.name.begin(), std::min<std::size_t>(stream.name.size(), 16), header.begin() + 52);
  return header;
}

}  // namespace

frame encode_frame(std::span<const std::int16_t> input, channel_state& state,
                   std::span<std::int16_t, samples_per_frame> decoded) {
  targets x{};
  for (std::size_t i = 0; i < std::min(input.size(), samples_per_frame); ++i) {
    x[i] = input[i];
  }

  trial best{};
  best.error = std::numeric_limits<double>::infinity();
  std::uint8_t best_byte0 = 0;
  trial candidate{};
  const auto consider = [&](std::uint8_t byte0) {
    simulate(x, byte0, state, best.error, candidate);
    if (candidate.error < best.error) {
      best = candidate;
      best_byte0 = byte0;
    }
  };
  for (unsigned row = 0; row < predictor_rows; ++row) {
    consider(byte0_of(row, estimated_shift(x, row, state)));
  }
  for (unsigned row = 0; row < predictor_rows; ++row) {
    for (unsigned shift = 0; shift <= max_shift; ++shift) {
      consider(byte0_of(row, shift));
    }
  }

  frame out{};
  out[0] = best_byte0;
  out[1] = 0;
  for (std::size_t i = 0; i < samples_per_frame / 2; ++i) {
    out[2 + i] = static_cast<std::uint8_t>(best.codes[2 * i] | best.codes[2 * i + 1] << 4);
  }
  state = best.state;
  std::copy(best.decoded.begin(), best.decoded.end(), decoded.begin());
  return out;
}

encoded_stream encode_stream(const pcm_stream& stream, history& slots) {
  const std::size_t channels = stream.channel_count == 2 ? 2 : 1;
  const std::size_t per_channel = stream.samples.size() / channels;
  const std::size_t frames = (per_channel + samples_per_frame - 1) / samples_per_frame;
  const bool marker = stream.end_with_marker && frames % frames_per_block != 0;
  const std::size_t blocks = (frames + frames_per_block - 1) / frames_per_block;
  // With the marker the stream ends after it; otherwise encoded silence fills the last block.
  const std::size_t coded_frames = marker ? frames : blocks * frames_per_block;
  const std::size_t channel_length =
      marker ? (frames + 1) * frame_bytes : blocks * block_bytes;

  encoded_stream out;
  out.bytes = header_of(stream, static_cast<std::uint32_t>(channel_length));
  const std::size_t payload_start = out.bytes.size();
  out.bytes.resize(payload_start + blocks * block_bytes * channels, 0);
  out.decoded.reserve(coded_frames * samples_per_frame * channels);

  std::array<std::int16_t, samples_per_frame> channel_samples{};
  std::array<samples, 2> decoded{};
  for (std::size_t j = 0; j < coded_frames; ++j) {
    const std::size_t first = j * samples_per_frame;
    const std::size_t count = first < per_channel ? std::min(samples_per_frame, per_channel - first) : 0;
    const std::size_t block = j / frames_per_block;
    for (std::size_t c = 0; c < channels; ++c) {
      for (std::size_t i = 0; i < count; ++i) {
        channel_samples[i] = stream.samples[(first + i) * channels + c];
      }
      channel_state& state = slots[channels == 1 ? 0 : 1 + c];
      const frame f = encode_frame(std::span(channel_samples).first(count), state, decoded[c]);
      const std::size_t offset = payload_start + (block * channels + c) * block_bytes +
                                 (j % frames_per_block) * frame_bytes;
      put_frame(out.bytes, offset, f);
    }
    for (std::size_t i = 0; i < samples_per_frame; ++i) {
      for (std::size_t c = 0; c < channels; ++c) {
        out.decoded.push_back(decoded[c][i]);
      }
    }
  }
  if (marker) {
    for (std::size_t c = 0; c < channels; ++c) {
      const std::size_t offset = payload_start + ((blocks - 1) * channels + c) * block_bytes +
                                 (frames % frames_per_block) * frame_bytes;
      std::copy(end_marker.begin(), end_marker.end(), out.bytes.begin() + static_cast<std::ptrdiff_t>(offset));
    }
  }
  return out;
}

encoded_container encode_container(std::span<const pcm_stream> streams) {
  encoded_container out;
  history slots{};
  for (const pcm_stream& stream : streams) {
    encoded_stream encoded = encode_stream(stream, slots);
    out.bytes.insert(out.bytes.end(), encoded.bytes.begin(), encoded.bytes.end());
    out.decoded.push_back(std::move(encoded.decoded));
  }
  return out;
}

}  // namespace zor2wav::encoder
