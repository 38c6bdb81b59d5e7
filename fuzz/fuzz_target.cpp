// libFuzzer target: one input is one container, scanned and converted in full
// into a scratch directory that is emptied again after every input.
//
// Beyond the sanitizers it checks what the converter promises for any input:
// nothing is created outside the destination, every WAV that stays behind has
// size fields that match its length and whole sample frames, and the output is
// bounded by 3.5 bytes of PCM per input byte plus a 44-byte header per file.
//
// The decoder's channel history is process-wide and never reset, on purpose:
// an input starts from whatever the inputs before it left behind. No check
// below depends on the sample values, so that carried-over state is harmless.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "container/file_io.hpp"
#include "container/scanner.hpp"

namespace {

namespace fs = std::filesystem;

struct scratch_space {
  fs::path root;     // holds the input and the destination, nothing else
  fs::path input;
  fs::path destination;
  std::string dest_prefix;

  scratch_space() {
    std::string pattern = (fs::temp_directory_path() / "zor2wav-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      std::perror("zor2wav fuzz: mkdtemp");
      std::abort();
    }
    root = pattern;
    input = root / "fuzz_ZOR.DAT";
    destination = root / "out";
    fs::create_directory(destination);
    dest_prefix = destination.string() + '/';
  }
  scratch_space(const scratch_space&) = delete;
  scratch_space& operator=(const scratch_space&) = delete;
  ~scratch_space() {
    std::error_code ignored;
    fs::remove_all(root, ignored);
  }
};

scratch_space& scratch() {
  static scratch_space space;
  return space;
}

[[noreturn]] void fail(const char* what, const fs::path& path) {
  std::fprintf(stderr, "zor2wav fuzz: %s (%s)\n", what, path.c_str());
  std::abort();
}

std::uint32_t u32le_at(const zor2wav::unique_file& file, long offset) {
  std::uint8_t b[4]{};
  if (std::fseek(file.get(), offset, SEEK_SET) != 0 || std::fread(b, 1, 4, file.get()) != 4) {
    return 0;
  }
  return static_cast<std::uint32_t>(b[0] | b[1] << 8 | b[2] << 16) | std::uint32_t{b[3]} << 24;
}

// Checks one file left in the destination; returns its size.
std::uintmax_t check_wav(const fs::directory_entry& entry) {
  const fs::path& path = entry.path();
  // A name that ends in a separator leaves just ".wav", which has no extension
  // in std::filesystem's terms; hence the suffix test.
  if (!entry.is_regular_file() || entry.is_symlink() || !path.filename().string().ends_with(".wav")) {
    fail("not a regular .wav file", path);
  }
  const std::uintmax_t size = entry.file_size();
  if (size < 44) {
    fail("WAV shorter than its header", path);
  }
  const zor2wav::unique_file wav = zor2wav::open_file(path.c_str(), "rb");
  if (!wav) {
    fail("WAV cannot be read back", path);
  }
  const std::uint32_t channels = u32le_at(wav, 20) >> 16;
  if (u32le_at(wav, 4) != size - 8 || u32le_at(wav, 40) != size - 44 ||
      (channels != 1 && channels != 2) || (size - 44) % (2 * channels) != 0) {
    fail("WAV size fields or channel count do not match the file", path);
  }
  return size;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  // The converter's console lines would flood the fuzzer's own output.
  const int null_fd = open("/dev/null", O_WRONLY);
  if (null_fd >= 0) {
    dup2(null_fd, STDOUT_FILENO);
    close(null_fd);
  }
  static_cast<void>(scratch());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  scratch_space& space = scratch();
  {
    const zor2wav::unique_file input = zor2wav::open_file(space.input.c_str(), "wb");
    if (!input || (size > 0 && std::fwrite(data, 1, size, input.get()) != size)) {
      fail("cannot write the input", space.input);
    }
  }
  static_cast<void>(zor2wav::scan_container(space.input.c_str(), space.dest_prefix));
  std::fflush(stdout);

  for (const fs::directory_entry& entry : fs::directory_iterator(space.root)) {
    if (entry.path() != space.input && entry.path() != space.destination) {
      fail("file created outside the destination", entry.path());
    }
  }
  std::uintmax_t output_bytes = 0;
  std::uintmax_t files = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(space.destination)) {
    output_bytes += check_wav(entry);
    ++files;
  }
  // 16 input bytes decode to at most 28 samples of 2 bytes each: 3.5 per byte.
  if (2 * output_bytes > 7 * std::uintmax_t{size} + 2 * 44 * files) {
    fail("more output than the input can decode to", space.destination);
  }
  for (const fs::directory_entry& entry : fs::directory_iterator(space.destination)) {
    fs::remove_all(entry.path());
  }
  return 0;
}
