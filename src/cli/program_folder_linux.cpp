#include <unistd.h>

#include <array>

#include "cli/program_folder.hpp"

namespace zor2wav {

std::optional<std::string> executable_path() {
  std::array<char, 4096> path{};
  const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
  // A result that fills the buffer may have been cut.
  if (length <= 0 || static_cast<std::size_t>(length) >= path.size()) {
    return std::nullopt;
  }
  return std::string(path.data(), static_cast<std::size_t>(length));
}

void change_directory(const std::string& folder) { static_cast<void>(chdir(folder.c_str())); }

}  // namespace zor2wav
