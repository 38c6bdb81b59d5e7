#include <mach-o/dyld.h>
#include <unistd.h>

#include <array>
#include <cstdint>

#include "cli/program_folder.hpp"

namespace zor2wav {

std::optional<std::string> executable_path() {
  std::array<char, 4096> path{};
  auto size = static_cast<std::uint32_t>(path.size());
  if (_NSGetExecutablePath(path.data(), &size) != 0) {
    return std::nullopt;
  }
  return std::string(path.data());
}

void change_directory(const std::string& folder) { static_cast<void>(chdir(folder.c_str())); }

}  // namespace zor2wav
