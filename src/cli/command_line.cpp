#include "cli/command_line.hpp"

#include <cstdio>

#include "cli/program_folder.hpp"
#include "container/scanner.hpp"

namespace zor2wav {

void print_usage(const char* program_path) {
  std::printf("Usage : %s file_name [dest_path]\n", program_path);
  std::fputs("  file_name   *_ZOR.DAT.\n", stdout);
  // "output destination" in Shift-JIS, printed as these bytes on every system.
  std::fputs("  dest_path   \x8F\x6F\x97\xCD\x90\xE6.\n", stdout);
}

void set_dir_to_program_folder() {
  const std::optional<std::string> path = executable_path();
  if (!path) {
    return;
  }
  const std::size_t last_separator = path->rfind(path_separator);
  if (last_separator == std::string::npos) {
    return;
  }
  // The folder keeps its trailing separator.
  change_directory(path->substr(0, last_separator + 1));
}

std::optional<std::string> dest_prefix_of(std::string_view dest_path, char separator) {
  if (dest_path.size() > max_dest_path_chars) {
    return std::nullopt;
  }
  if (dest_path.size() < 2) {
    return std::string();
  }
  std::string prefix(dest_path);
  if (prefix.back() != separator) {
    prefix += separator;
  }
  return prefix;
}

int run(int argc, char** argv) {
  std::fputs("*_ZOR.DAT to wav Converter ver.0.1.\n\n", stdout);
  set_dir_to_program_folder();
  if (argc < 2) {
    print_usage(argc > 0 && argv[0] != nullptr ? argv[0] : "zor2wav");
    return exit_usage;
  }
  const char* dest_path = argc > 2 ? argv[2] : "";
  const std::optional<std::string> dest_prefix = dest_prefix_of(dest_path, path_separator);
  if (!dest_prefix) {
    std::printf("error : destination path too long. (%s)\n", dest_path);
    return exit_error;
  }
  return scan_container(argv[1], *dest_prefix) ? exit_converted : exit_error;
}

}  // namespace zor2wav
