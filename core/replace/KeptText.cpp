#include "KeptText.h"

#include <ctime>

namespace duskmend {
namespace {

// The local time, to the second, as digits that sort as the times do.
std::string Stamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#if defined(_WIN32)
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
  return text;
}

}  // namespace

std::string KeepAside(FileSystem& fs, const std::string& tempPath, const std::string& target,
                      const std::string& what) {
  const std::string name = target + "." + what + "-" + Stamp();
  for (int tried = 1; tried <= 100; ++tried) {
    std::string kept = tried == 1 ? name : name + "-" + std::to_string(tried);
    const std::error_code moved = fs.Move(tempPath, kept);
    if (!moved) {
      fs.SyncFolderOf(kept);  // at worst a power cut brings it back to the temp path, unmarked
      return kept;
    }
    if (moved != std::errc::file_exists) break;
  }
  FileHandle file = -1;
  if (!fs.Open(tempPath, OpenMode::kReadNoLink, file)) {
    fs.Mark(file, "");
    fs.Close(file);
  }
  return {};
}

}  // namespace duskmend
