// Writes the seed corpus and the regression cases into the folder named on the
// command line.
#include <cstdio>
#include <filesystem>

#include "fuzz_cases.hpp"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s corpus_folder\n", argc > 0 ? argv[0] : "zor2wav_fuzz_seeds");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder);
  for (const auto& input : zor2wav::fuzz::seed_inputs()) {
    zor2wav::test::write_file(folder / input.name, input.content);
  }
  for (const auto& input : zor2wav::fuzz::regression_inputs()) {
    zor2wav::test::write_file(folder / ("regression_" + input.name), input.content);
  }
  return 0;
}
