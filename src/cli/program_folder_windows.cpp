// Only the module and directory functions are needed; no min/max macros.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <array>

#include "cli/program_folder.hpp"

namespace zor2wav {

std::optional<std::string> executable_path() {
  std::array<char, MAX_PATH> path{};
  const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
  // A result equal to the buffer size means the path was cut.
  if (length == 0 || length >= path.size()) {
    return std::nullopt;
  }
  return std::string(path.data(), length);
}

void change_directory(const std::string& folder) {
  static_cast<void>(SetCurrentDirectoryA(folder.c_str()));
}

}  // namespace zor2wav
