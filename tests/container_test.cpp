#include "container/scanner.hpp"

#include <gtest/gtest.h>

#include "support/container_builder.hpp"

namespace zor2wav {
namespace {

TEST(PayloadSize, RoundsEachChannelUpToWholeBlocksWithoutWrapping) {
  struct size_case {
    std::uint32_t channel_length;
    std::uint32_t channel_count;
    std::uint64_t payload_size;
  };
  const size_case cases[] = {
      {0, 1, 0},
      {1, 1, 2048},
      {2048, 1, 2048},
      {2049, 1, 4096},
      {4096, 2, 8192},
      {0xFFFFFFFF, 1, 0x100000000},              // rounding up would wrap at 32 bits
      {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF00000000},  // so would the product
  };
  for (const size_case& c : cases) {
    EXPECT_EQ(payload_size_of(c.channel_length, c.channel_count), c.payload_size)
        << c.channel_length << " x " << c.channel_count;
  }
}

TEST(OutputName, PadsTheIndexToFourDigitsAndKeepsTheName) {
  EXPECT_EQ(output_name_of(0, "BGM_01"), "0000_BGM_01.wav");
  EXPECT_EQ(output_name_of(42, ""), "0042_.wav");
  EXPECT_EQ(output_name_of(10000, "x"), "10000_x.wav");
}

TEST(StreamHeader, ReadsTheFieldsAndANameOfAtMostSixteenBytes) {
  test::bytes header = test::make_header(0x01020304, 2, 22050, "ABCDEFGHIJKLMNOP");
  header[68] = 'Q';  // the byte after the name field never joins the name
  const auto parsed = parse_stream_header(std::span<const std::uint8_t, 2048>(header.data(), 2048));
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->channel_length, 0x01020304u);
  EXPECT_EQ(parsed->channel_count, 2u);
  EXPECT_EQ(parsed->sample_rate, 22050u);
  EXPECT_EQ(parsed->stream_name, "ABCDEFGHIJKLMNOP");

  header[52 + 3] = 0;
  EXPECT_EQ(parse_stream_header(std::span<const std::uint8_t, 2048>(header.data(), 2048))->stream_name,
            "ABC");
  header[0] = 'z';
  EXPECT_FALSE(parse_stream_header(std::span<const std::uint8_t, 2048>(header.data(), 2048)));
}

}  // namespace
}  // namespace zor2wav
