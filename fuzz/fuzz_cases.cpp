#include "fuzz_cases.hpp"

#include <cstdint>

namespace zor2wav::fuzz {
namespace {

using test::append;
using test::bytes;
using test::frame_bytes_t;
using test::make_block;
using test::make_frame;
using test::make_header;

const frame_bytes_t loud = make_frame(0x00, 0, 0x71);      // shift 12: large codes
const frame_bytes_t quiet = make_frame(0x2C, 0, 0x1F);     // filter 2, shift 0
const frame_bytes_t predicted = make_frame(0x4A, 0, 0x9E);  // filter 4, shift 2
const frame_bytes_t silent = make_frame(0x0C, 7, 0x55);    // flag 7: no samples
const frame_bytes_t end_marker = make_frame(0x00, 7, 0x77);
const frame_bytes_t big_range = make_frame(0x1D, 0, 0x81);  // range 13: shift 31
const frame_bytes_t no_row = make_frame(0xF3, 0, 0x44);     // filter 15: no table row
// Filter 4 fed codes of -2^31: the values leave the 32-bit range.
const frame_bytes_t runaway = make_frame(0x4D, 0, 0x11);

bytes stream(std::uint32_t channel_length, std::uint32_t channel_count, std::uint32_t rate,
             const char* name, const std::vector<bytes>& blocks) {
  bytes s = make_header(channel_length, channel_count, rate, name);
  for (const bytes& block : blocks) append(s, block);
  return s;
}

bytes cut(bytes content, std::size_t size) {
  content.resize(size);
  return content;
}

}  // namespace

std::vector<named_input> seed_inputs() {
  const bytes mixed =
      make_block({loud, quiet, predicted, silent, big_range, no_row, runaway, runaway}, quiet);
  const bytes marked = make_block({quiet, predicted, end_marker}, loud);
  const bytes mono = stream(2048, 1, 22050, "MONO", {mixed});
  const bytes stereo = stream(4096, 2, 44100, "STEREO", {mixed, marked, marked, mixed});

  bytes several = mono;
  append(several, stereo);
  append(several, stream(0, 1, 8000, "EMPTY", {}));
  append(several, stream(2049, 1, 11025, "ODD_LENGTH", {marked, mixed}));

  bytes odd_counts = stream(2048, 0, 8000, "ZERO", {});
  append(odd_counts, stream(2048, 3, 8000, "THREE", {mixed, mixed, mixed}));
  append(odd_counts, stream(0, 0xFFFFFFFF, 8000, "MAX", {}));
  append(odd_counts, mono);

  bytes names = stream(0, 1, 8000, "../../up", {});
  append(names, stream(0, 1, 8000, "..\\..\\back", {}));
  append(names, stream(0, 1, 8000, "dir/", {}));
  append(names, stream(0, 1, 8000, "SIXTEEN_CHARS_AB", {}));

  bytes rates = stream(2048, 1, 0, "RATE_0", {mixed});
  append(rates, stream(2048, 2, 0xFFFFFFFF, "RATE_MAX", {mixed, marked}));

  bytes trailing = mono;
  append(trailing, bytes(100, 'x'));

  // More than one staging buffer of PCM (1,048,578 bytes): longer than the
  // fuzzer's inputs, so only the replay runs it whole.
  const std::uint32_t long_blocks = 150;
  bytes long_stream = make_header(long_blocks * 2048, 1, 8000, "LONG");
  for (std::uint32_t b = 0; b < long_blocks; ++b) append(long_stream, b == 100 ? marked : mixed);

  return {
      {"mono", mono},
      {"stereo", stereo},
      {"end_markers", stream(6144, 1, 8000, "MARKERS", {marked, make_block({end_marker}, loud), marked})},
      {"several_streams", several},
      {"odd_channel_counts", odd_counts},
      {"names", names},
      {"sample_rates", rates},
      {"truncated_payload", cut(stream(8192, 1, 8000, "CUT", {mixed, mixed}), 2048 + 3000)},
      {"truncated_stereo", cut(stereo, 2048 + 2048 + 1000)},
      {"truncated_header", cut(several, 2048 + 2048 + 60)},
      {"magic_only", cut(mono, 4)},
      {"huge_channel_length", stream(0xFFFFFFFF, 1, 8000, "HUGE", {mixed})},
      {"huge_stereo", stream(0xFFFFF801, 2, 8000, "HUGE2", {mixed, marked})},
      {"trailing_bytes", trailing},
      {"long_stream", long_stream},
  };
}

// Empty so far: no input has yet made the target fail. Each finding gets a
// case here, built with the helpers above rather than stored as a file.
std::vector<named_input> regression_inputs() { return {}; }

}  // namespace zor2wav::fuzz
