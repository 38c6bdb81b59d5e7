// Writes containers whose samples depend on exact double rounding, for
// comparing the WAV files of builds for other systems byte for byte
// (scripts/cross-test). Long streams of random frames with large shifts and
// the second-order filters: values grow far past 16 bits (up to about 2^37),
// wrap, and now and then land so near a rounding boundary that a build that
// fuses multiply-add or keeps 80-bit intermediates gives another sample. The
// counts printed say how many samples such builds would change.
//
// Usage: make_rounding_containers folder
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <random>
#include <string>

#include "adpcm/decoder.hpp"
#include "support/container_builder.hpp"
#include "wav/wav_writer.hpp"

namespace zor2wav::test {
namespace {

// One channel's history under three arithmetics: the exact one the converter
// uses, fused multiply-add, and x87-style 80-bit intermediates.
struct tracked_history {
  double s1 = 0.0, s2 = 0.0;
  double f1 = 0.0, f2 = 0.0;
  long double w1 = 0.0L, w2 = 0.0L;
};

std::int16_t sample_of_wide(long double v) {
  const long double x = v + 0.5L;
  if (x > -2147483649.0L && x < 2147483648.0L) {
    return static_cast<std::int16_t>(static_cast<std::int32_t>(x));
  }
  if (!std::isfinite(x)) return 0;
  long double low = std::fmod(std::trunc(x), 65536.0L);
  if (low < 0.0L) low += 65536.0L;
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(low));
}

double scaled(unsigned nibble, unsigned shift) {
  const std::uint32_t code = (nibble ^ 8u) - 8u;
  return static_cast<double>(static_cast<std::int32_t>(code << shift));
}

struct frame_outcome {
  tracked_history after;
  unsigned fused_diffs = 0;  // samples where the fused arithmetic disagrees
  unsigned wide_diffs = 0;   // samples where the widened arithmetic disagrees
};

// Decodes one frame three ways, as the decoder does: (t + c2*s2) + c1*s1.
frame_outcome run_frame(const frame_bytes_t& frame, tracked_history h) {
  frame_outcome out;
  if (frame[1] == no_samples_flag) {
    out.after = h;
    return out;
  }
  const predictor& p = predictor_table[frame[0] >> 4];
  const unsigned shift = (12u - (frame[0] & 15u)) & 31u;
  const long double c1w = p.c1, c2w = p.c2;
  for (std::size_t i = 2; i < frame.size(); ++i) {
    for (const unsigned nibble : {frame[i] & 15u, static_cast<unsigned>(frame[i] >> 4)}) {
      const double t = scaled(nibble, shift);
      const double v = (t + p.c2 * h.s2) + p.c1 * h.s1;
      const double f = std::fma(p.c1, h.f1, std::fma(p.c2, h.f2, t));
      const long double w = (t + c2w * h.w2) + c1w * h.w1;
      const std::int16_t exact = sample_from_value(v);
      out.fused_diffs += sample_from_value(f) != exact;
      out.wide_diffs += sample_of_wide(w) != exact;
      h.s2 = h.s1;
      h.s1 = v;
      h.f2 = h.f1;
      h.f1 = f;
      h.w2 = h.w1;
      h.w1 = w;
    }
  }
  out.after = h;
  return out;
}

struct tallies {
  std::uint64_t samples = 0;
  std::uint64_t fused_diffs = 0;
  std::uint64_t wide_diffs = 0;
};

// Random frames that favour large shifts and filters 2 to 4; of a few
// candidates for each place, one that tips a sample when there is one.
class frame_source {
 public:
  explicit frame_source(std::uint32_t seed) : rng_(seed) {}

  frame_bytes_t random_frame(bool large_shifts) {
    frame_bytes_t frame{};
    // Filters 2 and 4 have the largest gains (64 and 32 at DC), so they
    // carry the values highest, where a rounding step is widest.
    const unsigned pick = below(100);
    const unsigned filter = pick < 50   ? 2
                            : pick < 80 ? 4
                            : pick < 85 ? 3
                            : pick < 95 ? below(2)
                                        : 5 + below(11);
    const unsigned range = large_shifts ? (below(4) != 0 ? 13 + below(3) : below(5)) : 4 + below(9);
    frame[0] = static_cast<std::uint8_t>(filter << 4 | range);
    frame[1] = below(40) == 0 ? no_samples_flag : static_cast<std::uint8_t>(below(7));
    for (std::size_t i = 2; i < frame.size(); ++i) frame[i] = static_cast<std::uint8_t>(below(256));
    return frame;
  }

  frame_bytes_t next(tracked_history& h, tallies& t, bool large_shifts) {
    const frame_bytes_t frame = random_frame(large_shifts);
    const frame_outcome outcome = run_frame(frame, h);
    h = outcome.after;
    t.samples += frame[1] == no_samples_flag ? 0 : samples_per_frame;
    t.fused_diffs += outcome.fused_diffs;
    t.wide_diffs += outcome.wide_diffs;
    return frame;
  }

 private:
  unsigned below(unsigned n) { return static_cast<unsigned>(rng_() % n); }

  std::mt19937 rng_;
};

// The histories of the process: mono, left, right, as in the decoder.
struct run_histories {
  tracked_history mono, left, right;
};

bytes random_blocks(frame_source& source, tracked_history& h, tallies& t, std::uint32_t blocks,
                    bool large_shifts) {
  bytes out;
  for (std::uint32_t b = 0; b < blocks; ++b) {
    for (std::size_t j = 0; j < 128; ++j) {
      const frame_bytes_t frame = source.next(h, t, large_shifts);
      out.insert(out.end(), frame.begin(), frame.end());
    }
  }
  return out;
}

bytes mono_stream(frame_source& source, run_histories& hs, tallies& t, std::string_view name,
                  std::uint32_t blocks, bool large_shifts) {
  bytes s = make_header(blocks * 2048, 1, 22050, name);
  append(s, random_blocks(source, hs.mono, t, blocks, large_shifts));
  return s;
}

// Left and right blocks alternate in the payload.
bytes stereo_stream(frame_source& source, run_histories& hs, tallies& t, std::string_view name,
                    std::uint32_t blocks_per_channel) {
  bytes s = make_header(blocks_per_channel * 2048, 2, 44100, name);
  for (std::uint32_t b = 0; b < blocks_per_channel; ++b) {
    append(s, random_blocks(source, hs.left, t, 1, true));
    append(s, random_blocks(source, hs.right, t, 1, b % 3 != 0));
  }
  return s;
}

void report(const char* file, const tallies& t) {
  std::printf("%s: %llu samples; a fused build changes %llu, an 80-bit build %llu\n", file,
              static_cast<unsigned long long>(t.samples),
              static_cast<unsigned long long>(t.fused_diffs),
              static_cast<unsigned long long>(t.wide_diffs));
}

int write_containers(const std::filesystem::path& folder) {
  frame_source source(20261211);
  run_histories hs;  // one converter run per container: histories start at zero

  tallies mono_tally;
  bytes mono = mono_stream(source, hs, mono_tally, "WRAP_LONG", 320, true);
  append(mono, mono_stream(source, hs, mono_tally, "SMALL_SHIFTS", 96, false));
  append(mono, mono_stream(source, hs, mono_tally, "CONTINUED", 160, true));
  write_file(folder / "mono_ZOR.DAT", mono);
  report("mono_ZOR.DAT", mono_tally);

  hs = {};
  tallies stereo_tally;
  bytes stereo = stereo_stream(source, hs, stereo_tally, "STEREO_A", 160);
  append(stereo, mono_stream(source, hs, stereo_tally, "MONO_BETWEEN", 32, true));
  append(stereo, make_header(2048, 3, 8000, "THREE_CHANNELS"));  // refused, walked over
  append(stereo, bytes(3 * 2048, 0x5A));
  append(stereo, stereo_stream(source, hs, stereo_tally, "dir/STEREO_B", 96));
  // A last stream cut in the middle of a frame: its whole frames are kept.
  tallies cut_tally;  // partly cut off, so not counted
  bytes cut = stereo_stream(source, hs, cut_tally, "..\\CUT", 8);
  cut.resize(cut.size() - 3 * 2048 - 1000);
  append(stereo, cut);
  write_file(folder / "stereo_ZOR.DAT", stereo);
  report("stereo_ZOR.DAT", stereo_tally);

  // End markers part-way through blocks, between random frames.
  hs = {};
  tallies marker_tally;
  bytes marked = make_header(12 * 2048, 1, 32000, "MARKERS");
  for (std::uint32_t b = 0; b < 12; ++b) {
    bytes block = random_blocks(source, hs.mono, marker_tally, 1, true);
    if (b % 2 == 0) {
      std::copy(end_marker.begin(), end_marker.end(), block.begin() + 16 * (b * 10 + 3));
    }
    append(marked, block);
  }
  write_file(folder / "markers_ZOR.DAT", marked);
  std::printf("markers_ZOR.DAT: end markers in 6 of 12 blocks\n");

  const bool sensitive = mono_tally.fused_diffs > 0 && mono_tally.wide_diffs > 0 &&
                         stereo_tally.fused_diffs > 0 && stereo_tally.wide_diffs > 0;
  if (!sensitive) {
    std::fputs("error : the containers do not tell the arithmetics apart\n", stderr);
  }
  return sensitive ? 0 : 1;
}

}  // namespace
}  // namespace zor2wav::test

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("Usage : make_rounding_containers folder\n", stderr);
    return 2;
  }
  return zor2wav::test::write_containers(argv[1]);
}
