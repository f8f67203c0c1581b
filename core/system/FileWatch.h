#pragma once

#include <string>
#include <system_error>

#include "FileSystem.h"

namespace duskmend {

// A watch on the changes of one file, closed when it goes out of scope. Off where the system
// has no watches.
class FileWatch {
 public:
  explicit FileWatch(FileSystem& fs) : fs_(fs) {}
  FileWatch(const FileWatch&) = delete;
  FileWatch& operator=(const FileWatch&) = delete;
  ~FileWatch() {
    if (handle_ >= 0) fs_.Close(handle_);
  }

  // Watches the file that `path` names from now on; a system without watches leaves it off
  // and is no error.
  std::error_code Start(const std::string& path) {
    const std::error_code error = fs_.Watch(path, handle_);
    if (error) handle_ = -1;
    return error == std::errc::not_supported ? std::error_code{} : error;
  }
  bool On() const { return handle_ >= 0; }
  // What changed since the last look; nothing while the watch is off.
  std::error_code Changed(bool& changed, bool& written) {
    changed = written = false;
    return On() ? fs_.Changed(handle_, changed, written) : std::error_code{};
  }

 private:
  FileSystem& fs_;
  FileHandle handle_ = -1;
};

}  // namespace duskmend
