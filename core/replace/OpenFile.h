#pragma once

#include <string>
#include <system_error>

#include "FileSystem.h"
#include "PassFailure.h"

namespace duskmend {

// An open file that is closed when it goes out of scope. Each failure throws PassFailure
// with the step given at construction.
class OpenFile {
 public:
  OpenFile(FileSystem& fs, const std::string& path, OpenMode mode, PassFailure::Step step);
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  ~OpenFile();

  FileHandle Handle() const { return file_; }
  std::uint64_t Size() const;
  // Closes the file now; a failure to close counts as a failure of the step.
  void Close();

 private:
  void Check(std::error_code error) const;

  FileSystem& fs_;
  FileHandle file_ = -1;
  PassFailure::Step step_;
  bool open_ = false;
};

}  // namespace duskmend
