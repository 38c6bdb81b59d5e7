// Hostile containers and failing disks, through the real executable. Every run
// has a time limit, its standard error must stay free of sanitizer reports, and
// what it writes is bounded by what the input can decode to.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "support/container_builder.hpp"
#include "support/run_program.hpp"

namespace zor2wav::test {
namespace {

namespace fs = std::filesystem;

// Filter 0 at shift 0: code 7 then code 0: samples 7, 0, 7, 0, ...
const frame_bytes_t sevens = make_frame(0x0C, 0, 0x07);
const bytes one_block = make_block({}, sevens);

// PCM bytes of one whole mono block: 128 frames of 28 two-byte samples.
constexpr std::uint64_t block_pcm_bytes = 128 * 28 * 2;

bool under_launcher() { return std::getenv("ZOR2WAV_LAUNCHER") != nullptr; }

// Runs zor2wav with a time limit and checks that it ended by itself, without
// a crash or a sanitizer report.
run_result run_guarded(const std::vector<std::string>& args, child_limits limits = {},
                       const fs::path& exe = zor2wav_exe()) {
  limits.time_limit_seconds = 60;
  limits.capture_errors = true;
  run_result run = run_zor2wav(args, {}, exe, limits);
  EXPECT_NE(run.exit_status, -1) << "killed by a signal: a crash or the time limit";
  if (under_launcher()) {  // an emulator may have its own chatter
    EXPECT_EQ(run.errors.find("Sanitizer"), std::string::npos) << run.errors;
    EXPECT_EQ(run.errors.find("runtime error"), std::string::npos) << run.errors;
  } else {
    EXPECT_EQ(run.errors, "");
  }
  return run;
}

// Writes the container and converts it into dir/out.
run_result convert(const scratch_dir& dir, const bytes& container, const child_limits& limits = {}) {
  write_file(dir / "in_ZOR.DAT", container);
  fs::create_directories(dir / "out");
  return run_guarded({program_path(dir / "in_ZOR.DAT"), program_path(dir / "out")}, limits);
}

// Every file the run made is a WAV directly in dir/out, and together they hold
// at most 3.5 PCM bytes per input byte plus a 44-byte header each.
void expect_bounded_output(const scratch_dir& dir, std::uint64_t input_bytes) {
  std::uint64_t output_bytes = 0;
  std::uint64_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(dir.path)) {
    if (entry.path() == dir / "in_ZOR.DAT" || entry.path() == dir / "out") continue;
    EXPECT_EQ(entry.path().parent_path(), dir / "out") << entry.path();
    EXPECT_TRUE(entry.is_regular_file()) << entry.path();
    output_bytes += entry.file_size();
    ++files;
  }
  EXPECT_LE(2 * output_bytes, 7 * input_bytes + 2 * 44 * files);
}

// The PCM bytes of a WAV file, after checking its two size fields.
std::uint64_t data_bytes_of(const fs::path& wav_path) {
  const bytes wav = read_file(wav_path);
  EXPECT_GE(wav.size(), 44u) << wav_path;
  if (wav.size() < 44) return 0;
  EXPECT_EQ(get_u32le(wav, 4), wav.size() - 8) << wav_path;
  EXPECT_EQ(get_u32le(wav, 40), wav.size() - 44) << wav_path;
  return wav.size() - 44;
}

bytes two_streams() {
  bytes container = make_header(2048, 1, 8000, "A");
  append(container, one_block);
  append(container, make_header(0, 1, 8000, "B"));
  return container;
}

// Permission bits do not stop root, so the read-only folder is tried with the
// child running as nobody; a regular file in the way stops everyone.
TEST(Fault, AnUnwritableDestinationFailsEveryStreamAndTheWalkGoesOn) {
  scratch_dir dir;
  fs::permissions(dir.path, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec);
  write_file(dir / "in_ZOR.DAT", two_streams());
  write_file(dir / "file", {'x'});
  fs::create_directory(dir / "read_only");
  fs::permissions(dir / "read_only", fs::perms::owner_read | fs::perms::owner_exec |
                                         fs::perms::group_read | fs::perms::group_exec |
                                         fs::perms::others_read | fs::perms::others_exec);
  // nobody may not be able to reach the build tree; a copy in dir it can.
  const fs::path exe = dir / zor2wav_exe().filename();
  fs::copy_file(zor2wav_exe(), exe);

  struct destination_case {
    std::string dest;
    bool unprivileged;
  };
  std::vector<destination_case> cases = {
      {program_path(dir / "file"), false},
      {program_path(dir / "file" / "below"), false},
  };
  if (!under_launcher()) cases.push_back({program_path(dir / "read_only"), true});
  for (const destination_case& c : cases) {
    child_limits limits;
    limits.unprivileged = c.unprivileged;
    const run_result run = run_guarded({program_path(dir / "in_ZOR.DAT"), c.dest}, limits, exe);
    const std::string prefix = c.dest + program_separator();
    EXPECT_EQ(run.exit_status, 1) << c.dest;
    EXPECT_EQ(run.output, banner + "0000_A.wav 2048 bytes\nerror : can't create file. (" + prefix +
                              "0000_A.wav)\n0001_B.wav 0 bytes\nerror : can't create file. (" +
                              prefix + "0001_B.wav)\n")
        << c.dest;
  }
  EXPECT_EQ(read_file(dir / "file"), bytes{'x'});
  EXPECT_TRUE(fs::is_empty(dir / "read_only"));
}

// A write that fails removes the incomplete file; the next stream is converted.
TEST(Fault, ADiskFullInTheMiddleOfAStreamRemovesItsFile) {
  bytes next = make_header(2048, 1, 8000, "NEXT");
  append(next, one_block);

  const auto out_path = [](const scratch_dir& dir, const char* name) {
    return program_path(dir / "out") + program_separator() + name;
  };
  // The output name is already a link to a device that is always full; a
  // POSIX setup that an emulated Windows program need not honour.
  if (!under_launcher()) {
    scratch_dir dir;
    fs::create_directories(dir / "out");
    fs::create_symlink("/dev/full", dir / "out" / "0000_FULL.wav");
    bytes container = make_header(2048, 1, 8000, "FULL");
    append(container, one_block);
    append(container, next);
    const run_result run = convert(dir, container);
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.output, banner + "0000_FULL.wav 2048 bytes.\nerror : can't write file. (" +
                              out_path(dir, "0000_FULL.wav") + ")\n0001_NEXT.wav 2048 bytes.\n");
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "out" / "0000_FULL.wav")));
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
    EXPECT_EQ(data_bytes_of(dir / "out" / "0001_NEXT.wav"), block_pcm_bytes);
  }
  {  // A file size limit of 1.5 MiB: the first 1,048,578-byte piece of a
     // 3 MiB stream is written, the second fails.
    scratch_dir dir;
    const std::uint32_t blocks = 439;  // 3,146,752 PCM bytes
    bytes container = make_header(blocks * 2048, 1, 8000, "BIG");
    for (std::uint32_t b = 0; b < blocks; ++b) append(container, one_block);
    append(container, next);
    child_limits limits;
    limits.max_file_bytes = 3 << 19;
    const run_result run = convert(dir, container, limits);
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.output, banner + "0000_BIG.wav 899072 bytes..\nerror : can't write file. (" +
                              out_path(dir, "0000_BIG.wav") + ")\n0001_NEXT.wav 2048 bytes.\n");
    EXPECT_FALSE(fs::exists(dir / "out" / "0000_BIG.wav"));
    EXPECT_EQ(data_bytes_of(dir / "out" / "0001_NEXT.wav"), block_pcm_bytes);
  }
}

// A header cut short reads as zeros after the cut; a payload cut short keeps
// the frames that are whole (in both blocks, for stereo) and ends the walk.
TEST(Fault, InputsCutInsideAHeaderOrAPayload) {
  bytes mono = make_header(2048, 1, 8000, "CUT");
  append(mono, one_block);
  bytes stereo = make_header(4096, 2, 8000, "ST");
  for (int i = 0; i < 4; ++i) append(stereo, one_block);
  bytes second = mono;
  append(second, make_header(2048, 1, 8000, "SECOND"));

  struct cut_case {
    const char* what;
    const bytes& container;
    std::size_t size;
    int exit_status;
    std::string output;
    std::uint64_t data_bytes;  // of the file named in the last line, if any
  };
  const cut_case cases[] = {
      {"magic only", mono, 4, 1, "0000_.wav 0 bytes\nerror : unsupported channel count. (0)\n", 0},
      {"before the rate", mono, 16, 0, "0000_.wav 2048 bytes\n", 0},
      {"inside the name", mono, 55, 0, "0000_CUT.wav 2048 bytes\n", 0},
      {"end of the name field", mono, 2000, 0, "0000_CUT.wav 2048 bytes\n", 0},
      {"second header, before the name", second, 4096 + 30, 0,
       "0000_CUT.wav 2048 bytes.\n0001_.wav 2048 bytes\n", 0},
      // 62 whole frames of the right block: 62 frame times of the pair.
      {"second pair's right block", stereo, 2048 + 3 * 2048 + 1000, 0, "0000_ST.wav 8192 bytes.\n",
       2 * block_pcm_bytes + 62 * 28 * 2 * 2},
      {"first frame of a payload", mono, 2048 + 15, 0, "0000_CUT.wav 2048 bytes\n", 0},
  };
  for (const cut_case& c : cases) {
    scratch_dir dir;
    const bytes input(c.container.begin(), c.container.begin() + static_cast<std::ptrdiff_t>(c.size));
    const run_result run = convert(dir, input);
    EXPECT_EQ(run.exit_status, c.exit_status) << c.what;
    EXPECT_EQ(run.output, banner + c.output) << c.what;
    expect_bounded_output(dir, input.size());
    std::vector<fs::path> made;
    for (const auto& entry : fs::directory_iterator(dir / "out")) made.push_back(entry.path());
    if (c.exit_status == 0) {
      ASSERT_FALSE(made.empty()) << c.what;
      std::sort(made.begin(), made.end());
      EXPECT_EQ(data_bytes_of(made.back()), c.data_bytes) << c.what;
    }
  }
}

// channel_length is believed only as far as the file goes: a header that
// claims gigabytes over two blocks of payload gives two blocks of PCM, at
// once, whether or not rounding up to 2048 or the product wraps at 32 bits.
TEST(Fault, AHugeChannelLengthReadsOnlyWhatIsThere) {
  struct huge_case {
    std::uint32_t channel_length;
    std::uint32_t channel_count;
    const char* payload_size;
  };
  const huge_case cases[] = {
      {0xFFFFFFFF, 1, "4294967296"},  // rounding up wraps at 32 bits
      {0xFFFFF801, 1, "4294967296"},  // so does this one, to exactly 2^32
      {0xFFFFF800, 1, "4294965248"},  // the last whole block that fits
      {0xFFFFFFFF, 2, "8589934592"},
      {0x80000000, 2, "4294967296"},  // the product wraps at 32 bits
  };
  for (const huge_case& c : cases) {
    scratch_dir dir;
    bytes container = make_header(c.channel_length, c.channel_count, 8000, "HUGE");
    for (std::uint32_t b = 0; b < 2 * c.channel_count; ++b) append(container, one_block);
    const run_result run = convert(dir, container);
    EXPECT_EQ(run.exit_status, 0) << c.channel_length;
    EXPECT_EQ(run.output, banner + "0000_HUGE.wav " + c.payload_size + " bytes.\n");
    expect_bounded_output(dir, container.size());
    EXPECT_EQ(data_bytes_of(dir / "out" / "0000_HUGE.wav"), 2 * c.channel_count * block_pcm_bytes);
  }
}

TEST(Fault, ExtremeChannelCountsAndSampleRates) {
  scratch_dir dir;
  bytes container = make_header(0, 0xFFFFFFFF, 8000, "MAX");
  append(container, make_header(2048, 1, 0, "RATE_0"));
  append(container, one_block);
  append(container, make_header(2048, 2, 0xFFFFFFFF, "RATE_MAX"));
  append(container, one_block);
  append(container, one_block);
  // 2048 x 4294967295 bytes of payload: the next header would be far past the end.
  append(container, make_header(2048, 0xFFFFFFFF, 8000, "MAX_LONG"));
  append(container, make_header(0, 1, 8000, "UNREACHED"));
  const run_result run = convert(dir, container);
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.output, banner +
                            "0000_MAX.wav 0 bytes\nerror : unsupported channel count. (4294967295)\n"
                            "0001_RATE_0.wav 2048 bytes.\n"
                            "0002_RATE_MAX.wav 4096 bytes.\n"
                            "0003_MAX_LONG.wav 8796093020160 bytes\n"
                            "error : unsupported channel count. (4294967295)\n");
  expect_bounded_output(dir, container.size());

  // Rates are stored as they are; the byte rate is block align x rate in 32 bits.
  const bytes rate_0 = read_file(dir / "out" / "0001_RATE_0.wav");
  ASSERT_EQ(rate_0.size(), 44 + block_pcm_bytes);
  EXPECT_EQ(get_u32le(rate_0, 24), 0u);
  EXPECT_EQ(get_u32le(rate_0, 28), 0u);
  const bytes rate_max = read_file(dir / "out" / "0002_RATE_MAX.wav");
  ASSERT_EQ(rate_max.size(), 44 + 2 * block_pcm_bytes);
  EXPECT_EQ(get_u32le(rate_max, 24), 0xFFFFFFFFu);
  EXPECT_EQ(get_u32le(rate_max, 28), 0xFFFFFFFCu);
}

// POSIX systems open a directory for reading as if it were a file; it used to
// be read as an empty container, silently and with exit status 0.
TEST(Fault, ADirectoryIsNoContainer) {
  scratch_dir dir;
  fs::create_directories(dir / "in_ZOR.DAT");
  const std::string container = program_path(dir / "in_ZOR.DAT");
  const run_result run = run_guarded({container, program_path(dir.path)});
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.output, banner + "error : can't open file. (" + container + ")\n");
}

// An output whose name leads to the container itself is not created: opening
// it for writing used to empty the container in the middle of the scan, so
// the streams after it were lost, with exit status 0.
TEST(Fault, NeverWritesOverTheContainerBeingRead) {
  if (under_launcher()) GTEST_SKIP() << "file identities are compared on POSIX systems only";
  bytes container;
  for (const char* name : {"A", "B", "C"}) {
    append(container, make_header(2048, 1, 8000, name));
    append(container, one_block);
  }
  struct clash_case {
    const char* what;
    const char* container_name;
    const char* link_name;  // an output name made a link to the container
    std::string output;
  };
  const clash_case cases[] = {
      {"the container has the first output's name", "0000_A.wav", nullptr,
       "0000_A.wav 2048 bytes\nerror : can't create file. (@0000_A.wav)\n"
       "0001_B.wav 2048 bytes.\n0002_C.wav 2048 bytes.\n"},
      {"an output name links to the container", "in_ZOR.DAT", "0001_B.wav",
       "0000_A.wav 2048 bytes.\n0001_B.wav 2048 bytes\nerror : can't create file. (@0001_B.wav)\n"
       "0002_C.wav 2048 bytes.\n"},
  };
  for (const clash_case& c : cases) {
    scratch_dir dir;
    write_file(dir / c.container_name, container);
    if (c.link_name != nullptr) fs::create_symlink(dir / c.container_name, dir / c.link_name);
    const run_result run = run_guarded({program_path(dir / c.container_name), program_path(dir.path)});
    std::string output = c.output;
    output.replace(output.find('@'), 1, program_path(dir.path) + program_separator());
    EXPECT_EQ(run.exit_status, 1) << c.what;
    EXPECT_EQ(run.output, banner + output) << c.what;
    EXPECT_EQ(read_file(dir / c.container_name), container) << c.what;
    for (const std::string made : {"0000_A.wav", "0001_B.wav", "0002_C.wav"}) {
      if (made != c.container_name && (c.link_name == nullptr || made != c.link_name)) {
        EXPECT_EQ(data_bytes_of(dir / made), block_pcm_bytes) << c.what << ": " << made;
      }
    }
  }
}

// Names that reduce to dots or to nothing after their last separator still
// make a file directly in the destination.
TEST(Fault, NamesOfDotsAndTrailingSeparatorsStayInTheDestination) {
  scratch_dir dir;
  bytes container;
  for (const char* name : {"..", "../", "..\\", "/..", "\\"}) {
    append(container, make_header(0, 1, 8000, name));
  }
  const run_result run = convert(dir, container);
  EXPECT_EQ(run.exit_status, 0);
  expect_bounded_output(dir, container.size());
  for (const char* made : {"0000_...wav", ".wav", "...wav"}) {
    EXPECT_TRUE(fs::exists(dir / "out" / made)) << made;
  }
}

}  // namespace
}  // namespace zor2wav::test
