// Runs the fuzz target without libFuzzer, under the sanitizers of the build:
// every seed and regression input generated in code, then every file under
// the paths named on the command line.
#include <cstdint>
#include <cstdio>
#include <filesystem>

#include "fuzz_cases.hpp"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

void run_one(const zor2wav::test::bytes& content) {
  static_cast<void>(LLVMFuzzerTestOneInput(content.data(), content.size()));
}

}  // namespace

int main(int argc, char** argv) {
  LLVMFuzzerInitialize(&argc, &argv);
  std::size_t inputs = 0;
  for (const auto& cases : {zor2wav::fuzz::seed_inputs(), zor2wav::fuzz::regression_inputs()}) {
    for (const auto& input : cases) {
      run_one(input.content);
      ++inputs;
    }
  }
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path path = argv[i];
    if (std::filesystem::is_regular_file(path)) {
      run_one(zor2wav::test::read_file(path));
      ++inputs;
      continue;
    }
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path)) {
      if (entry.is_regular_file()) {
        run_one(zor2wav::test::read_file(entry.path()));
        ++inputs;
      }
    }
  }
  std::fprintf(stderr, "replayed %zu inputs\n", inputs);
  return 0;
}
