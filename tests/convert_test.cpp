// Streams to WAV files, through the real executable; every file written is
// read back with libsndfile as well.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/container_builder.hpp"
#include "support/run_program.hpp"
#include "support/wav_reader.hpp"

namespace zor2wav::test {
namespace {

namespace fs = std::filesystem;

// Filter 0 at shift 12: code n gives exactly n * 4096.
const frame_bytes_t plus_4096 = make_frame(0x00, 0, 0x11);
// Filter 0 at shift 0: code 7 then code 0: samples 7, 0, 7, 0, ...
const frame_bytes_t sevens = make_frame(0x0C, 0, 0x07);
const frame_bytes_t no_samples = make_frame(0x0C, 7, 0x55);
const frame_bytes_t marker = make_frame(0x00, 7, 0x77);

struct converted {
  run_result run;
  fs::path dir;
};

// Writes the container and converts it into dir/out.
run_result convert(const scratch_dir& dir, const bytes& container) {
  write_file(dir / "test_ZOR.DAT", container);
  fs::create_directories(dir / "out");
  return run_zor2wav({program_path(dir / "test_ZOR.DAT"), program_path(dir / "out")});
}

// The file's samples, after checking that libsndfile reads it as we wrote it.
std::vector<std::int16_t> samples_of(const fs::path& path, int channels, int rate) {
  const bytes wav = read_file(path);
  EXPECT_GE(wav.size(), 44u) << path;
  if (wav.size() < 44) return {};
  EXPECT_EQ(get_u32le(wav, 4), wav.size() - 8) << path;
  EXPECT_EQ(get_u32le(wav, 40), wav.size() - 44) << path;
  std::vector<std::int16_t> samples((wav.size() - 44) / 2);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<std::int16_t>(get_u16le(wav, 44 + 2 * i));
  }
  const auto read = read_wav(path);
  EXPECT_TRUE(read) << path;
  if (read) {
    EXPECT_EQ(read->channels, channels);
    EXPECT_EQ(read->sample_rate, rate);
    EXPECT_EQ(read->frames, static_cast<std::int64_t>(samples.size()) / channels);
    EXPECT_EQ(read->samples, samples);
  }
  return samples;
}

std::vector<std::int16_t> repeat(std::vector<std::int16_t> pattern, std::size_t times) {
  std::vector<std::int16_t> all;
  for (std::size_t i = 0; i < times; ++i) all.insert(all.end(), pattern.begin(), pattern.end());
  return all;
}

TEST(Convert, MonoBlockGivesTheHeaderFieldByFieldAndTheSamples) {
  scratch_dir dir;
  bytes container = make_header(2048, 1, 22050, "MONO");
  append(container, make_block({plus_4096}, sevens));
  const run_result run = convert(dir, container);
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.output, banner + "0000_MONO.wav 2048 bytes.\n");

  const bytes wav = read_file(dir / "out" / "0000_MONO.wav");
  ASSERT_EQ(wav.size(), 44u + 7168);
  EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
  EXPECT_EQ(get_u32le(wav, 4), 36u + 7168);  // file length - 8
  EXPECT_EQ(std::string(wav.begin() + 8, wav.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(get_u32le(wav, 16), 16u);       // format chunk size
  EXPECT_EQ(get_u16le(wav, 20), 1u);        // PCM
  EXPECT_EQ(get_u16le(wav, 22), 1u);        // channels
  EXPECT_EQ(get_u32le(wav, 24), 22050u);    // sample rate
  EXPECT_EQ(get_u32le(wav, 28), 44100u);    // byte rate
  EXPECT_EQ(get_u16le(wav, 32), 2u);        // block align
  EXPECT_EQ(get_u16le(wav, 34), 16u);       // bits per sample
  EXPECT_EQ(std::string(wav.begin() + 36, wav.begin() + 40), "data");
  EXPECT_EQ(get_u32le(wav, 40), 7168u);     // data size

  std::vector<std::int16_t> expected = repeat({4096}, 28);
  const auto rest = repeat({7, 0}, 127 * 14);
  expected.insert(expected.end(), rest.begin(), rest.end());
  EXPECT_EQ(samples_of(dir / "out" / "0000_MONO.wav", 1, 22050), expected);
}

TEST(Convert, StereoInterleavesAndDecodesAMarkerInTheRightBlockAsSilence) {
  scratch_dir dir;
  bytes container = make_header(2048, 2, 32000, "STEREO");
  append(container, make_block({plus_4096, sevens}, sevens));  // left
  append(container, make_block({sevens, marker}, no_samples));  // right
  const run_result run = convert(dir, container);
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.output, banner + "0000_STEREO.wav 4096 bytes.\n");

  const fs::path path = dir / "out" / "0000_STEREO.wav";
  const bytes wav = read_file(path);
  ASSERT_EQ(wav.size(), 44u + 14336);
  EXPECT_EQ(get_u16le(wav, 22), 2u);
  EXPECT_EQ(get_u32le(wav, 28), 128000u);  // 4 x rate
  EXPECT_EQ(get_u16le(wav, 32), 4u);
  std::vector<std::int16_t> expected = repeat({4096, 7, 4096, 0}, 14);  // frame 0: L 4096, R 7 0
  const auto second = repeat({7, 0, 0, 0}, 14);  // frame 1: R is the marker, a flag 7 frame
  const auto rest = repeat({7, 0, 0, 0}, 126 * 14);
  expected.insert(expected.end(), second.begin(), second.end());
  expected.insert(expected.end(), rest.begin(), rest.end());
  EXPECT_EQ(samples_of(path, 2, 32000), expected);
}

TEST(Convert, TheEndMarkerEndsItsBlockOnly) {
  scratch_dir dir;
  // Marker at the start of every block: a header-only file, no dot.
  bytes container = make_header(4096, 1, 8000, "NOTHING");
  append(container, make_block({marker}, sevens));
  append(container, make_block({marker}, sevens));
  // Marker in the middle of the first block: that block stops there, the
  // next block is decoded whole.
  append(container, make_header(4096, 1, 8000, "MIDDLE"));
  append(container, make_block({sevens, sevens, sevens, marker}, plus_4096));
  append(container, make_block({}, plus_4096));
  const run_result run = convert(dir, container);
  EXPECT_EQ(run.output, banner + "0000_NOTHING.wav 4096 bytes\n0001_MIDDLE.wav 4096 bytes.\n");

  const bytes empty = read_file(dir / "out" / "0000_NOTHING.wav");
  ASSERT_EQ(empty.size(), 44u);
  EXPECT_EQ(get_u32le(empty, 4), 36u);
  EXPECT_EQ(get_u32le(empty, 40), 0u);
  EXPECT_TRUE(samples_of(dir / "out" / "0000_NOTHING.wav", 1, 8000).empty());

  std::vector<std::int16_t> expected = repeat({7, 0}, 3 * 14);
  const auto second = repeat({4096}, 128 * 28);
  expected.insert(expected.end(), second.begin(), second.end());
  EXPECT_EQ(samples_of(dir / "out" / "0001_MIDDLE.wav", 1, 8000), expected);
}

// The decoder's history lasts for the run: a stream starts from whatever the
// stream before it on the same channel left behind.
TEST(Convert, ASecondMonoStreamContinuesTheFirstStreamsHistory) {
  const bytes second = [] {
    bytes s = make_header(2048, 1, 8000, "SECOND");
    append(s, make_block({}, make_frame(0x1C, 0, 0)));  // filter 1, codes 0
    return s;
  }();
  bytes both = make_header(2048, 1, 8000, "FIRST");
  append(both, make_block({}, plus_4096));
  append(both, second);

  scratch_dir dir_both;
  scratch_dir dir_alone;
  EXPECT_EQ(convert(dir_both, both).exit_status, 0);
  EXPECT_EQ(convert(dir_alone, second).exit_status, 0);
  const auto continued = samples_of(dir_both / "out" / "0001_SECOND.wav", 1, 8000);
  const auto alone = samples_of(dir_alone / "out" / "0000_SECOND.wav", 1, 8000);
  ASSERT_EQ(continued.size(), 3584u);
  EXPECT_EQ(continued[0], 3840);  // 60/64 of the first stream's last value, 4096
  EXPECT_EQ(alone, std::vector<std::int16_t>(3584, 0));
}

TEST(Convert, PrintsADotPerStagingBufferWritten) {
  // 18724 mono frames are 1,048,544 PCM bytes, one short of filling the
  // 1,048,578-byte buffer; one frame more needs a second write.
  for (const auto& [frames, dots] : {std::pair{18724u, "."}, std::pair{18725u, ".."}}) {
    scratch_dir dir;
    const std::uint32_t blocks = (frames + 127) / 128;
    bytes container = make_header(blocks * 2048, 1, 8000, "LONG");
    for (std::uint32_t b = 0; b + 1 < blocks; ++b) append(container, make_block({}, sevens));
    std::vector<frame_bytes_t> last(frames - (blocks - 1) * 128, sevens);
    last.push_back(marker);
    append(container, make_block(last, sevens));
    const run_result run = convert(dir, container);
    EXPECT_EQ(run.output, banner + "0000_LONG.wav " + std::to_string(blocks * 2048) + " bytes" +
                              dots + "\n");
    EXPECT_EQ(samples_of(dir / "out" / "0000_LONG.wav", 1, 8000).size(), frames * 28u);
  }
}

TEST(Convert, AMissingDestinationFailsEveryStreamButWalksThemAll) {
  scratch_dir dir;
  bytes container = make_header(2048, 1, 8000, "A");
  append(container, make_block({}, sevens));
  append(container, make_header(0, 1, 8000, "B"));
  write_file(dir / "x_ZOR.DAT", container);
  const std::string missing = program_path(dir / "missing");
  const run_result run = run_zor2wav({program_path(dir / "x_ZOR.DAT"), missing});
  const std::string prefix = missing + program_separator();
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.output, banner + "0000_A.wav 2048 bytes\nerror : can't create file. (" + prefix +
                            "0000_A.wav)\n0001_B.wav 0 bytes\nerror : can't create file. (" +
                            prefix + "0001_B.wav)\n");
}

TEST(Convert, RefusesChannelCountsOtherThanOneAndTwoAndGoesOn) {
  scratch_dir dir;
  bytes container = make_header(2048, 0, 8000, "ZERO");  // payload 0
  append(container, make_header(2048, 3, 8000, "THREE"));
  for (int i = 0; i < 3; ++i) append(container, make_block({}, sevens));
  append(container, make_header(2048, 1, 8000, "ONE"));
  append(container, make_block({}, sevens));
  const run_result run = convert(dir, container);
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.output, banner +
                            "0000_ZERO.wav 0 bytes\nerror : unsupported channel count. (0)\n"
                            "0001_THREE.wav 6144 bytes\nerror : unsupported channel count. (3)\n"
                            "0002_ONE.wav 2048 bytes.\n");
  EXPECT_FALSE(fs::exists(dir / "out" / "0000_ZERO.wav"));
  EXPECT_FALSE(fs::exists(dir / "out" / "0001_THREE.wav"));
  EXPECT_EQ(samples_of(dir / "out" / "0002_ONE.wav", 1, 8000).size(), 3584u);
}

// A truncated stream decodes the frames that are there and ends the walk.
TEST(Convert, ATruncatedLastStreamKeepsTheWholeFramesThatWereRead) {
  scratch_dir dir;
  bytes container = make_header(4 * 2048, 1, 8000, "CUT");
  append(container, make_block({}, sevens));
  const bytes half = make_block({}, plus_4096);
  container.insert(container.end(), half.begin(), half.begin() + 1000);  // 62.5 frames
  const run_result run = convert(dir, container);
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.output, banner + "0000_CUT.wav 8192 bytes.\n");
  std::vector<std::int16_t> expected = repeat({7, 0}, 128 * 14);
  const auto tail = repeat({4096}, 62 * 28);
  expected.insert(expected.end(), tail.begin(), tail.end());
  EXPECT_EQ(samples_of(dir / "out" / "0000_CUT.wav", 1, 8000), expected);
}

TEST(Convert, NamesWithSeparatorsStayInsideTheDestination) {
  scratch_dir dir;
  bytes container = make_header(0, 1, 8000, "../../up");
  append(container, make_header(0, 1, 8000, "..\\..\\back"));
  append(container, make_header(0, 1, 8000, "dir/name"));
  const run_result run = convert(dir, container);
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.output, banner +
                            "0000_../../up.wav 0 bytes\n"
                            "0001_..\\..\\back.wav 0 bytes\n"
                            "0002_dir/name.wav 0 bytes\n");
  for (const char* name : {"up.wav", "back.wav", "name.wav"}) {
    EXPECT_TRUE(fs::exists(dir / "out" / name)) << name;
  }
  std::size_t entries = 0;
  for (const auto& entry : fs::recursive_directory_iterator(dir.path)) {
    static_cast<void>(entry);
    ++entries;
  }
  EXPECT_EQ(entries, 5u);  // the container, out/ and the three files
}

}  // namespace
}  // namespace zor2wav::test
