// Owned C stdio files and 64-bit positions, so that containers and WAV files
// larger than 2 GiB work on every platform, 32-bit ones included.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace zor2wav {

struct file_closer {
  void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using unique_file = std::unique_ptr<std::FILE, file_closer>;

inline unique_file open_file(const char* path, const char* mode) {
  return unique_file(std::fopen(path, mode));
}

// POSIX systems open a directory for reading like a file; it is none.
inline bool is_directory(std::FILE* file) {
#ifdef _WIN32
  static_cast<void>(file);
  return false;  // opening a directory already failed
#else
  struct stat status {};
  return fstat(fileno(file), &status) == 0 && S_ISDIR(status.st_mode);
#endif
}

// Whether path names the file open as `file`, also through a link; opening it
// for writing would empty it. Windows' file identities are not looked at.
inline bool is_same_file(std::FILE* file, const char* path) {
#ifdef _WIN32
  static_cast<void>(file);
  static_cast<void>(path);
  return false;
#else
  struct stat open_status {};
  struct stat path_status {};
  return fstat(fileno(file), &open_status) == 0 && stat(path, &path_status) == 0 &&
         open_status.st_dev == path_status.st_dev && open_status.st_ino == path_status.st_ino;
#endif
}

inline bool seek_to(std::FILE* file, std::uint64_t offset) {
  if (offset > static_cast<std::uint64_t>(INT64_MAX)) {
    return false;
  }
#ifdef _WIN32
  return _fseeki64(file, static_cast<long long>(offset), SEEK_SET) == 0;
#else
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

// The length of the file, leaving the position at the start.
inline std::optional<std::uint64_t> file_length(std::FILE* file) {
#ifdef _WIN32
  const bool at_end = _fseeki64(file, 0, SEEK_END) == 0;
  const long long end = at_end ? _ftelli64(file) : -1;
#else
  const bool at_end = fseeko(file, 0, SEEK_END) == 0;
  const off_t end = at_end ? ftello(file) : -1;
#endif
  if (end < 0 || !seek_to(file, 0)) {
    return std::nullopt;
  }
  return static_cast<std::uint64_t>(end);
}

}  // namespace zor2wav
