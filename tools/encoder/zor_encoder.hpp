// Encodes 16-bit PCM into sound containers that zor2wav converts: a developer
// tool for test fixtures, the demo and the benchmarks.
//
// For every frame the encoder tries each predictor row 0-4 and each range
// 0-12, simulating the decoder's own arithmetic from the decoder's exact
// history, and keeps the frame with the least squared error. It tracks the
// history per slot across the streams of a container as the decoder does, so
// its reconstruction is exactly what zor2wav will write.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "adpcm/decoder.hpp"

namespace zor2wav::encoder {

using frame = std::array<std::uint8_t, frame_bytes>;

// One frame of up to 28 samples (missing ones count as silence), chosen
// against the decoder history state, which it advances as the decoder will.
// decoded receives the 28 samples the decoder will produce.
frame encode_frame(std::span<const std::int16_t> samples, channel_state& state,
                   std::span<std::int16_t, samples_per_frame> decoded);

struct pcm_stream {
  std::string name;            // up to 16 characters are stored
  std::uint32_t sample_rate;
  std::uint32_t channel_count;  // 1 or 2
  std::vector<std::int16_t> samples;  // interleaved for stereo
  // Ends a stream whose last block is not full with the end marker, so that
  // the WAV holds the samples rounded up to whole frames only. Without it
  // the last block is filled with encoded silence.
  bool end_with_marker = true;
};

// The decoder's three history slots as the encoder tracks them; all zero at
// the start of a zor2wav run.
using history = std::array<channel_state, 3>;

struct encoded_stream {
  std::vector<std::uint8_t> bytes;  // stream header and payload
  std::vector<std::int16_t> decoded;  // what zor2wav writes as the WAV's data
};

// One stream: its 2048-byte header (fields zor2wav does not read are zero)
// and its payload, advancing the history slots it uses.
encoded_stream encode_stream(const pcm_stream& stream, history& slots);

struct encoded_container {
  std::vector<std::uint8_t> bytes;
  std::vector<std::vector<std::int16_t>> decoded;  // one per stream
};

// A whole container as a fresh zor2wav run decodes it.
encoded_container encode_container(std::span<const pcm_stream> streams);

}  // namespace zor2wav::encoder
