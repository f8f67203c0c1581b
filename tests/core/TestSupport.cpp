#include "TestSupport.h"

#include <atomic>
#include <fstream>
#include <random>
#include <sstream>

namespace duskmend::test {

std::filesystem::path Native(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

TempDir::TempDir() {
  static const std::string run = std::to_string(std::random_device{}());
  static std::atomic<int> counter{0};
  path_ = std::filesystem::temp_directory_path() /
          ("duskmend-test-" + run + "-" + std::to_string(counter++));
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(Native(path), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(Native(path), std::ios::binary | std::ios::trunc) << bytes;
}

bool Exists(const std::string& path) {
  return std::filesystem::exists(std::filesystem::symlink_status(Native(path)));
}

std::string CrLf(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines)
    text += line + "\r\n";
  return text;
}

std::error_code ForwardingFileSystem::Close(FileHandle file) {
  // A close that fails has still released the handle.
  std::error_code error = Enter("Close");
  std::error_code closed = Leave("Close", Inner().Close(file));
  return error ? error : closed;
}

std::error_code ForwardingFileSystem::MayReplace(const std::string& path, std::string& reason) {
  if (std::error_code error = Enter("MayReplace")) {
    reason = error.message();
    return error;
  }
  return Leave("MayReplace", Inner().MayReplace(path, reason));
}

}  // namespace duskmend::test
