#pragma once
// A fresh folder under the system's temporary folder for one test, removed afterwards.
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace tarvik::testing {

class TempDir {
 public:
  TempDir() {
    static std::atomic<int> counter{0};
    m_path = std::filesystem::temp_directory_path() /
             ("tarvik-io-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(m_path);
    std::filesystem::create_directories(m_path);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
  }

  std::string path(const std::string& name) const { return (m_path / name).string(); }
  const std::filesystem::path& folder() const { return m_path; }

  // Writes `bytes` as the file `name`; returns its full path.
  std::string write(const std::string& name, std::string_view bytes) const {
    const std::string full = path(name);
    std::ofstream out(full, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return full;
  }

  static std::string read(const std::string& full) {
    std::ifstream in(full, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

 private:
  std::filesystem::path m_path;
};

}  // namespace tarvik::testing
