#include "FileSystem.h"

namespace duskmend {
namespace {

class FileErrorCategory : public std::error_category {
 public:
  const char* name() const noexcept override { return "duskmend file"; }
  std::string message(int code) const override {
    return code == kNotRegular ? "Not a regular file" : "The file is shorter than it was";
  }
  static constexpr int kNotRegular = 1;
  static constexpr int kShort = 2;
};

const FileErrorCategory category;

}  // namespace

std::error_code NotRegularFileError() { return {FileErrorCategory::kNotRegular, category}; }

std::error_code ShortFileError() { return {FileErrorCategory::kShort, category}; }

void Discard(FileSystem& fs, const std::string& path) {
  const std::error_code error = fs.Remove(path);
  if (!error || error == std::errc::no_such_file_or_directory) return;
  FileHandle file = -1;
  if (!fs.Open(path, OpenMode::kCreateOrEmpty, file)) fs.Close(file);
}

}  // namespace duskmend
