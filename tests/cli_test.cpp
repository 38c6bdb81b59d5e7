// The command line and the container walk, through the real executable.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/container_builder.hpp"
#include "support/run_program.hpp"

namespace zor2wav::test {
namespace {

namespace fs = std::filesystem;

const std::string usage_tail =
    " file_name [dest_path]\n"
    "  file_name   *_ZOR.DAT.\n"
    "  dest_path   \x8F\x6F\x97\xCD\x90\xE6.\n";

// A container of one empty mono stream: one header, no payload.
bytes one_empty_stream(std::string_view name) { return make_header(0, 1, 22050, name); }

TEST(CommandLine, NoArgumentsPrintsTheBannerAndUsage) {
  const run_result run = run_zor2wav({});
  EXPECT_EQ(run.exit_status, 2);
  ASSERT_GT(run.output.size(), banner.size() + usage_tail.size());
  EXPECT_EQ(run.output.substr(0, banner.size() + 8), banner + "Usage : ");
  EXPECT_EQ(run.output.substr(run.output.size() - usage_tail.size()), usage_tail);
  if (std::getenv("ZOR2WAV_LAUNCHER") == nullptr) {
    EXPECT_EQ(run.output, banner + "Usage : " + zor2wav_exe().string() + usage_tail);
  }
}

TEST(CommandLine, ReportsAnInputThatCannotBeOpened) {
  scratch_dir dir;
  const std::string missing = program_path(dir / "missing_ZOR.DAT");
  const run_result run = run_zor2wav({missing});
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.output, banner + "error : can't open file. (" + missing + ")\n");
}

TEST(CommandLine, RefusesADestinationLongerThan510Characters) {
  scratch_dir dir;
  write_file(dir / "a_ZOR.DAT", one_empty_stream("a"));
  const std::string too_long(511, 'd');
  const run_result run = run_zor2wav({program_path(dir / "a_ZOR.DAT"), too_long});
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.output, banner + "error : destination path too long. (" + too_long + ")\n");

  // 510 characters are accepted; this one names no existing folder.
  const run_result fits = run_zor2wav({program_path(dir / "a_ZOR.DAT"), std::string(510, 'd')});
  EXPECT_EQ(fits.output.find("too long"), std::string::npos);
}

TEST(ContainerWalk, StopsSilentlyOnAnythingThatIsNotAContainer) {
  scratch_dir dir;
  const std::pair<const char*, bytes> cases[] = {
      {"empty", {}},
      {"no magic", bytes(4096, 'x')},
      {"short", {'Z', 'O', 'R'}},
  };
  for (const auto& [what, content] : cases) {
    write_file(dir / "in_ZOR.DAT", content);
    const run_result run =
        run_zor2wav({program_path(dir / "in_ZOR.DAT"), program_path(dir.path)});
    EXPECT_EQ(run.exit_status, 0) << what;
    EXPECT_EQ(run.output, banner) << what;
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);
}

// Headers follow each payload by the size rule; the walk ends at the first
// place without the magic.
TEST(ContainerWalk, NamesEachStreamAndFindsTheNextHeaderByTheSizeRule) {
  scratch_dir dir;
  const bytes silent_block = make_block({}, make_frame(0x00, 7, 0));
  bytes container = make_header(0, 1, 22050, "EMPTY");
  append(container, make_header(2049, 1, 22050, "ODD_LENGTH"));
  append(container, silent_block);
  append(container, silent_block);
  append(container, make_header(4096, 2, 44100, "SIXTEEN_CHARS_AB"));
  container.back() = 'Q';  // the byte after the name field
  for (int i = 0; i < 4; ++i) append(container, silent_block);
  append(container, bytes(2048, 0));  // no magic: the end
  append(container, make_header(0, 1, 22050, "UNREACHED"));
  write_file(dir / "a_ZOR.DAT", container);

  const run_result run = run_zor2wav({program_path(dir / "a_ZOR.DAT"), program_path(dir.path)});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.output, banner +
                            "0000_EMPTY.wav 0 bytes\n"
                            "0001_ODD_LENGTH.wav 4096 bytes.\n"
                            "0002_SIXTEEN_CHARS_AB.wav 8192 bytes.\n");
  EXPECT_TRUE(fs::exists(dir / "0002_SIXTEEN_CHARS_AB.wav"));
}

TEST(ContainerWalk, WritesTheIndexWithFiveDigitsFromStream10000) {
  scratch_dir dir;
  bytes container;
  for (int i = 0; i <= 10000; ++i) append(container, make_header(0, 1, 8000, "s"));
  write_file(dir / "many_ZOR.DAT", container);
  fs::create_directory(dir / "out");
  const run_result run =
      run_zor2wav({program_path(dir / "many_ZOR.DAT"), program_path(dir / "out")});
  EXPECT_EQ(run.exit_status, 0);
  const std::string last = "9999_s.wav 0 bytes\n10000_s.wav 0 bytes\n";
  ASSERT_GE(run.output.size(), last.size());
  EXPECT_EQ(run.output.substr(run.output.size() - last.size()), last);
  EXPECT_TRUE(fs::exists(dir / "out" / "10000_s.wav"));
}

// The program's own folder becomes the working directory: a relative input
// and a relative or one-character destination resolve there, not where the
// user started it. The executable is copied so that its folder is a scratch one.
TEST(Destination, ResolvesAgainstTheProgramsFolder) {
  scratch_dir dir;
  const fs::path bin = dir / "bin";
  fs::create_directories(bin / "out");
  fs::create_directories(dir / "elsewhere" / "out");
  fs::create_directories(dir / "abs");
  const fs::path exe = bin / zor2wav_exe().filename();
  fs::copy_file(zor2wav_exe(), exe);
  write_file(bin / "rel_ZOR.DAT", one_empty_stream("rel"));

  const std::string abs = program_path(dir / "abs");
  struct dest_case {
    std::vector<std::string> args;
    fs::path made;
  };
  const dest_case cases[] = {
      {{"rel_ZOR.DAT"}, bin / "0000_rel.wav"},
      {{"rel_ZOR.DAT", "x"}, bin / "0000_rel.wav"},  // one character: dropped
      {{"rel_ZOR.DAT", "."}, bin / "0000_rel.wav"},
      {{"rel_ZOR.DAT", "out"}, bin / "out" / "0000_rel.wav"},  // separator appended
      {{"rel_ZOR.DAT", abs}, dir / "abs" / "0000_rel.wav"},
      {{"rel_ZOR.DAT", abs + program_separator()}, dir / "abs" / "0000_rel.wav"},  // kept as it is
      {{"rel_ZOR.DAT", "out", "more", "args"}, bin / "out" / "0000_rel.wav"},
  };
  for (const dest_case& c : cases) {
    const run_result run = run_zor2wav(c.args, dir / "elsewhere", exe);
    EXPECT_EQ(run.exit_status, 0) << c.made;
    EXPECT_EQ(run.output, banner + "0000_rel.wav 0 bytes\n") << c.made;
    EXPECT_TRUE(fs::exists(c.made)) << c.made;
    fs::remove(c.made);
  }
  EXPECT_TRUE(fs::is_empty(dir / "elsewhere" / "out"));
}

// Nested relative paths spelled with the program's own separator resolve in
// its folder too; a Windows build also takes '/' inside a path.
TEST(Destination, NestedRelativePathsUseTheProgramsSeparator) {
  scratch_dir dir;
  const fs::path bin = dir / "bin";
  fs::create_directories(bin / "in");
  fs::create_directories(bin / "out" / "sub");
  fs::create_directories(dir / "elsewhere");
  const fs::path exe = bin / zor2wav_exe().filename();
  fs::copy_file(zor2wav_exe(), exe);
  write_file(bin / "in" / "deep_ZOR.DAT", one_empty_stream("deep"));

  const std::string sep(1, program_separator());
  std::vector<std::vector<std::string>> cases = {
      {"in" + sep + "deep_ZOR.DAT", "out" + sep + "sub"},
      {"." + sep + "in" + sep + "deep_ZOR.DAT", "out" + sep + "sub" + sep},
      {program_path(bin / "in" / "deep_ZOR.DAT"), "out" + sep + "sub"},
  };
  if (sep == "\\") {
    cases.push_back({"in/deep_ZOR.DAT", "out/sub"});
  }
  const fs::path made = bin / "out" / "sub" / "0000_deep.wav";
  for (const auto& args : cases) {
    const run_result run = run_zor2wav(args, dir / "elsewhere", exe);
    EXPECT_EQ(run.exit_status, 0) << args[0];
    EXPECT_EQ(run.output, banner + "0000_deep.wav 0 bytes\n") << args[0];
    EXPECT_TRUE(fs::exists(made)) << args[0];
    fs::remove(made);
  }
  EXPECT_TRUE(fs::is_empty(dir / "elsewhere"));
  EXPECT_TRUE(fs::is_empty(bin / "out" / "sub"));
}

}  // namespace
}  // namespace zor2wav::test
