// Runs the real zor2wav executable as a child process, as a user would.
// ZOR2WAV_EXE names another build to test and ZOR2WAV_LAUNCHER a command that
// runs it (an emulator); ZOR2WAV_CRLF=1 says its console lines end in CR LF.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace zor2wav::test {

struct run_result {
  int exit_status;
  std::string output;  // standard output, with CR LF line ends made LF
};

std::filesystem::path zor2wav_exe();

// Runs exe with args in the working directory cwd (the current one when empty).
run_result run_zor2wav(const std::vector<std::string>& args,
                       const std::filesystem::path& cwd = {},
                       const std::filesystem::path& exe = zor2wav_exe());

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
