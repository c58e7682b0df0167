#pragma once
// Runs the built tarvik-batch program in a private folder and collects what it wrote.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tarvik::batch::e2e {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

inline std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    result.push_back(line);
  }
  return result;
}

inline std::vector<std::string> fields(const std::string& line, char sep = '\t') {
  std::vector<std::string> result;
  std::string::size_type start = 0;
  for (;;) {
    const auto end = line.find(sep, start);
    result.push_back(line.substr(start, end - start));
    if (end == std::string::npos) {
      return result;
    }
    start = end + 1;
  }
}

inline std::string quoted(const std::string& s) {
  std::string q = "'";
  for (char c : s) {
    q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return q + "'";
}

class BatchProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir = fs::temp_directory_path() /
          (std::string("tarvik-batch-") + info->name() + "-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  // Runs tarvik-batch with the given (shell-quoted) arguments, '.' as the separator unless
  // the arguments name one, and `input` on standard input.
  // `prefix` runs in the same shell first (a resource limit); `output` receives standard
  // output (read back only when it is the default).
  Outcome runArgs(const std::string& args, const std::string& input = "",
                  const std::string& prefix = "", const std::string& output = "stdout.txt") {
    const fs::path in = dir / "stdin.txt";
    std::ofstream(in, std::ios::binary) << input;
    const std::string command = "cd " + quoted(dir.string()) + " && " + prefix + " LC_ALL=C " +
                                quoted(TARVIK_BATCH_EXE) + " " + args + " <stdin.txt" + " >" +
                                output + " 2>stderr.txt";
    const int raw = std::system(command.c_str());
    Outcome r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = readFile(dir / "stdout.txt");
    r.err = readFile(dir / "stderr.txt");
    return r;
  }
  Outcome run(const std::string& commands) { return runArgs("-e " + quoted(commands)); }

  // Runs tarvik-batch with standard output a pipe whose reader has gone (as `head` leaves
  // it once it has its lines), SIGPIPE at its default as a shell starts a pipeline. A
  // death by a signal gives 128 + the signal, as the shell reports it.
  Outcome runToClosedPipe(const std::string& args) {
    std::ofstream(dir / "stdin.txt", std::ios::binary) << "";
    const std::string command = "cd " + quoted(dir.string()) + " && exec env LC_ALL=C " +
                                quoted(TARVIK_BATCH_EXE) + " " + args + " <stdin.txt 2>stderr.txt";
    int ends[2];
    if (::pipe(ends) != 0) {
      ADD_FAILURE() << "no pipe";
      return {};
    }
    ::close(ends[0]);
    const pid_t child = ::fork();
    if (child == 0) {
      ::dup2(ends[1], STDOUT_FILENO);
      ::close(ends[1]);
      ::signal(SIGPIPE, SIG_DFL);
      ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(ends[1]);
    int raw = 0;
    while (child > 0 && ::waitpid(child, &raw, 0) < 0 && errno == EINTR) {
    }
    Outcome r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : WIFSIGNALED(raw) ? 128 + WTERMSIG(raw) : -1;
    r.err = readFile(dir / "stderr.txt");
    return r;
  }

  static std::string example(const std::string& name) {
    return std::string(TARVIK_EXAMPLES_DIR) + "/" + name;
  }

  fs::path dir;
};

}  // namespace tarvik::batch::e2e
