#include "wav/wav_writer.hpp"

#include <gtest/gtest.h>

#include "container/file_io.hpp"
#include "support/container_builder.hpp"
#include "support/run_program.hpp"
#include "support/wav_reader.hpp"

namespace zor2wav {
namespace {

TEST(WavHeader, FillsTheTemplateWithTheStreamsValues) {
  const auto header = make_wav_header(1, 22050, 7168);
  const std::array<std::uint8_t, 44> expected{
      'R',  'I',  'F',  'F',   //
      0x24, 0x1C, 0x00, 0x00,  // RIFF size: 7168 + 36
      'W',  'A',  'V',  'E',   //
      'f',  'm',  't',  ' ',   //
      16,   0,    0,    0,     // format chunk size
      1,    0,                 // PCM
      1,    0,                 // channels
      0x22, 0x56, 0x00, 0x00,  // sample rate 22050
      0x44, 0xAC, 0x00, 0x00,  // byte rate 44100
      2,    0,                 // block align
      16,   0,                 // bits per sample
      'd',  'a',  't',  'a',   //
      0x00, 0x1C, 0x00, 0x00,  // data size 7168
  };
  EXPECT_EQ(header, expected);
  // The byte rate is a 32-bit field: a hostile rate wraps instead of overflowing.
  const auto stereo = make_wav_header(2, 0xFFFFFFFF, 0);
  EXPECT_EQ(test::get_u32le(test::bytes(stereo.begin(), stereo.end()), 28), 0xFFFFFFFCu);
}

TEST(OutputPath, KeepsOnlyTheNameAfterTheLastSeparator) {
  const std::pair<const char*, const char*> cases[] = {
      {"0000_BGM.wav", "out/0000_BGM.wav"},
      {"0000_a/b.wav", "out/b.wav"},
      {"0000_a\\b.wav", "out/b.wav"},
      {"0000_../../x.wav", "out/x.wav"},
      {"0000_..\\..\\x.wav", "out/x.wav"},
      {"0000_a/.wav", "out/.wav"},
  };
  for (const auto& [name, path] : cases) {
    EXPECT_EQ(output_path_of("out/", name), path) << name;
  }
}

// A WAV's size fields are 32-bit, so a stream is cut at the last whole sample
// frame that fits; here the limit is made small to show it.
TEST(ConvertStream, CutsAtTheSizeLimitWithCorrectSizes) {
  test::scratch_dir dir;
  // Blocks of frames decoding to 7, 0, 0, ...: 3584 samples each.
  const test::bytes block = test::make_block({}, test::make_frame(0x0C, 0, 0x07));
  test::bytes pair = block;
  test::append(pair, block);
  test::write_file(dir / "in.dat", pair);
  const unique_file input = open_file((dir / "in.dat").c_str(), "rb");
  const std::string prefix = dir.path.string() + "/";
  for (std::uint32_t channels : {1u, 2u}) {
    const stream_description stream{input.get(), 0,        channels * block.size(), prefix,
                                    "cut.wav",   channels, 8000};
    testing::internal::CaptureStdout();
    EXPECT_FALSE(convert_stream(stream, 44 + 1003));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              ".\nerror : wav file size limit reached. (1047 bytes)");
    const test::bytes wav = test::read_file(dir / "cut.wav");
    const std::size_t kept = channels == 1 ? 1002 : 1000;  // whole sample frames only
    ASSERT_EQ(wav.size(), 44 + kept);
    EXPECT_EQ(test::get_u32le(wav, 4), 36 + kept);
    EXPECT_EQ(test::get_u32le(wav, 40), kept);
    const auto contents = test::read_wav(dir / "cut.wav");
    ASSERT_TRUE(contents);
    EXPECT_EQ(contents->frames, static_cast<std::int64_t>(kept / (2 * channels)));
  }
}

}  // namespace
}  // namespace zor2wav
