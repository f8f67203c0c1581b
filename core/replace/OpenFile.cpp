#include "OpenFile.h"

namespace duskmend {

OpenFile::OpenFile(FileSystem& fs, const std::string& path, OpenMode mode, PassFailure::Step step)
    : fs_(fs), step_(step) {
  Check(fs_.Open(path, mode, file_));
  open_ = true;
}

OpenFile::~OpenFile() {
  if (open_) fs_.Close(file_);  // only on the way out of a failed or stopped pass
}

void OpenFile::Check(std::error_code error) const {
  if (error) throw PassFailure{step_, error};
}

std::uint64_t OpenFile::Size() const {
  std::uint64_t size = 0;
  Check(fs_.Size(file_, size));
  return size;
}

void OpenFile::Close() {
  if (!open_) return;
  open_ = false;
  Check(fs_.Close(file_));
}

}  // namespace duskmend
