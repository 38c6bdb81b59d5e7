// The program's entry: banner, working directory, usage text, destination rule.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zor2wav {

// Exit statuses.
inline constexpr int exit_converted = 0;   // no error message was printed
inline constexpr int exit_error = 1;       // at least one "error : " message
inline constexpr int exit_usage = 2;       // no file named: the usage text

// The longest destination that still fits a 512-byte buffer with the
// appended separator and the NUL.
inline constexpr std::size_t max_dest_path_chars = 510;

void print_usage(const char* program_path);

// Makes the folder that holds the running executable the working directory,
// so that relative paths resolve there. Changes nothing when it cannot.
void set_dir_to_program_folder();

// The destination as the front part of a path: empty for a path shorter than
// two characters, otherwise ending in the separator. Nothing when too long.
std::optional<std::string> dest_prefix_of(std::string_view dest_path, char separator);

// The whole run: returns the exit status.
int run(int argc, char** argv);

}  // namespace zor2wav
