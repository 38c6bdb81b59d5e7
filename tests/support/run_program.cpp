#include "support/run_program.hpp"

#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>

namespace zor2wav::test {
namespace {

std::vector<std::string> launcher_words() {
  std::vector<std::string> words;
  if (const char* launcher = std::getenv("ZOR2WAV_LAUNCHER")) {
    std::istringstream in(launcher);
    for (std::string word; in >> word;) {
      words.push_back(word);
    }
  }
  return words;
}

// Windows console programs end lines in CR LF; the tests compare LF text.
std::string lf_only(const std::string& text) {
  const char* crlf = std::getenv("ZOR2WAV_CRLF");
  if (crlf == nullptr || std::string(crlf) != "1") {
    return text;
  }
  std::string result;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      continue;
    }
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
      ADD_FAILURE() << "a line ends in LF without CR at byte " << i;
    }
    result += text[i];
  }
  return result;
}

// Runs in the forked child, before exec; alarms, ignored signals and
// resource limits all survive the exec.
bool apply_limits(const child_limits& limits, std::FILE* errors) {
  if (errors != nullptr && dup2(fileno(errors), STDERR_FILENO) < 0) {
    return false;
  }
  if (limits.max_file_bytes > 0) {
    const auto max_bytes = static_cast<rlim_t>(limits.max_file_bytes);
    const rlimit file_size{max_bytes, max_bytes};
    if (std::signal(SIGXFSZ, SIG_IGN) == SIG_ERR || setrlimit(RLIMIT_FSIZE, &file_size) != 0) {
      return false;
    }
  }
  // Permission bits do not stop root; nobody's uid and gid are 65534.
  if (limits.unprivileged && geteuid() == 0 &&
      (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) {
    return false;
  }
  if (limits.time_limit_seconds > 0) {
    alarm(limits.time_limit_seconds);
  }
  return true;
}

std::string read_all(std::FILE* file) {
  std::string text;
  if (file == nullptr) {
    return text;
  }
  std::rewind(file);
  char buffer[4096];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
    text.append(buffer, got);
  }
  return text;
}

}  // namespace

char program_separator() {
  const char* separator = std::getenv("ZOR2WAV_SEPARATOR");
  return separator != nullptr && std::string(separator) == "\\" ? '\\' : '/';
}

std::string program_path(const std::filesystem::path& path) {
  std::string spelled = path.string();
  if (program_separator() == '/') {
    return spelled;
  }
  for (char& c : spelled) {
    if (c == '/') c = '\\';
  }
  const char* root = std::getenv("ZOR2WAV_ROOT");
  return (root != nullptr ? std::string(root) : std::string()) + spelled;
}

std::filesystem::path zor2wav_exe() {
  const char* exe = std::getenv("ZOR2WAV_EXE");
  return exe != nullptr ? std::filesystem::path(exe) : std::filesystem::path(ZOR2WAV_DEFAULT_EXE);
}

run_result run_zor2wav(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                       const std::filesystem::path& exe, const child_limits& limits) {
  std::vector<std::string> words = launcher_words();
  words.push_back(exe.string());
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) {
    argv.push_back(word.data());
  }
  argv.push_back(nullptr);

  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) {
    throw std::runtime_error("pipe failed");
  }
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> errors(
      limits.capture_errors ? std::tmpfile() : nullptr, &std::fclose);
  const pid_t child = fork();
  if (child == 0) {
    dup2(pipe_fds[1], STDOUT_FILENO);
    close(pipe_fds[0]);
    close(pipe_fds[1]);
    if (!apply_limits(limits, errors.get())) {
      _exit(125);
    }
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) {
      _exit(126);
    }
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(pipe_fds[1]);
  std::string output;
  char buffer[4096];
  for (ssize_t got; (got = read(pipe_fds[0], buffer, sizeof buffer)) != 0;) {
    if (got > 0) {
      output.append(buffer, static_cast<std::size_t>(got));
    }
  }
  close(pipe_fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, lf_only(output), read_all(errors.get())};
}

scratch_dir::scratch_dir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zor2wav-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("mkdtemp failed");
  }
  path = pattern;
}

scratch_dir::~scratch_dir() {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

}  // namespace zor2wav::test
