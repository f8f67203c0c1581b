#pragma once

#include <string>
#include <system_error>

#include "FileSystem.h"

namespace duskmend {

// A watch on the files that come to one name in a folder or go from it, closed when it goes
// out of scope. Off where the system has no watches.
class NameWatch {
 public:
  explicit NameWatch(FileSystem& fs) : fs_(fs) {}
  NameWatch(const NameWatch&) = delete;
  NameWatch& operator=(const NameWatch&) = delete;
  ~NameWatch() {
    if (handle_ >= 0) fs_.Close(handle_);
  }

  // Watches the name `path` from now on; a system without watches leaves it off and is no
  // error.
  std::error_code Start(const std::string& path) {
    path_ = path;
    const std::error_code error = fs_.WatchName(path, handle_);
    if (error) handle_ = -1;
    return error == std::errc::not_supported ? std::error_code{} : error;
  }
  // How many files came to the name or went from it since the last look; none while off.
  std::error_code Changes(int& count) {
    count = 0;
    return handle_ >= 0 ? fs_.NameChanges(handle_, path_, count) : std::error_code{};
  }

 private:
  FileSystem& fs_;
  std::string path_;
  FileHandle handle_ = -1;
};

}  // namespace duskmend
