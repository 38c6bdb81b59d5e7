// The platform-specific pieces: the running executable's path and the change
// of working directory. One source file per operating system implements them.
#pragma once

#include <optional>
#include <string>

namespace zor2wav {

// The separator this platform's paths use.
#ifdef _WIN32
inline constexpr char path_separator = '\\';
#else
inline constexpr char path_separator = '/';
#endif

// The full path of the running executable, or nothing when the platform
// cannot give it whole.
std::optional<std::string> executable_path();

// Makes folder the working directory; a failure is not reported.
void change_directory(const std::string& folder);

}  // namespace zor2wav
