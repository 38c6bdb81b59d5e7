// Runs the real zor2wav executable as a child process, as a user would.
// ZOR2WAV_EXE names another build to test and ZOR2WAV_LAUNCHER a command that
// runs it (an emulator); ZOR2WAV_CRLF=1 says its console lines end in CR LF.
// For a Windows build, ZOR2WAV_SEPARATOR='\' gives its path separator and
// ZOR2WAV_ROOT the drive that maps this machine's "/" (Z: under Wine).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace zor2wav::test {

struct run_result {
  int exit_status;     // -1 when a signal ended the child (a time limit, a crash)
  std::string output;  // standard output, with CR LF line ends made LF
  std::string errors;  // standard error, when child_limits::capture_errors asked for it
};

// What the child sets up before it starts the program; the defaults set nothing.
struct child_limits {
  unsigned time_limit_seconds = 0;  // SIGALRM ends the child after this long
  std::uint64_t max_file_bytes = 0;  // RLIMIT_FSIZE, with SIGXFSZ ignored so writes fail
  bool unprivileged = false;         // when run as root, become the user nobody first
  bool capture_errors = false;       // standard error into run_result::errors
};

std::filesystem::path zor2wav_exe();

// Runs exe with args in the working directory cwd (the current one when empty).
run_result run_zor2wav(const std::vector<std::string>& args,
                       const std::filesystem::path& cwd = {},
                       const std::filesystem::path& exe = zor2wav_exe(),
                       const child_limits& limits = {});

// The path separator of the program under test.
char program_separator();

// path (absolute) as the program under test spells it: unchanged for a POSIX
// build, "Z:\\tmp\\..." for a Windows build.
std::string program_path(const std::filesystem::path& path);

// The banner every run starts with.
inline const std::string banner = "*_ZOR.DAT to wav Converter ver.0.1.\n\n";

// A fresh directory, removed with everything in it at the end of the test.
struct scratch_dir {
  std::filesystem::path path;
  scratch_dir();
  ~scratch_dir();
  scratch_dir(const scratch_dir&) = delete;
  scratch_dir& operator=(const scratch_dir&) = delete;
  std::filesystem::path operator/(const std::string& name) const { return path / name; }
};

}  // namespace zor2wav::test
