#include "ScratchPath.h"

#include <algorithm>
#include <vector>

#include "PassRefusal.h"
#include "WhileWaiting.h"

namespace duskmend {

ScratchPath::Holds ScratchPath::Look(const std::string& target, const FileIdentity& read,
                                     FileIdentity& there) const {
  FileHandle file = -1;
  const std::error_code opened = fs_.Open(path_, OpenMode::kReadNoLink, file);
  if (opened == std::errc::no_such_file_or_directory) return Holds::kNothing;
  // A symbolic link, a folder or a device is no file that Duskmend made.
  if (opened == std::errc::too_many_symbolic_link_levels || opened == std::errc::is_a_directory ||
      opened == NotRegularFileError()) {
    return Holds::kOther;
  }
  if (opened) throw PassFailure{step_, opened};
  std::error_code error = fs_.IdentityOf(file, there);
  const bool save = !error && there.SameFile(read);
  // A Duskmend that works on this file as its save holds it locked.
  bool taken = false;
  if (!error && !save) error = fs_.Lock(file, taken);
  std::string mark;
  bool ours = false;
  if (!error && !save && taken) {
    error = fs_.MarkOf(file, mark);
    if (error == std::errc::not_supported) error = {};
    // Made and killed before it had its mark, or on a file system that keeps none.
    ours = !error && (mark == NameOf(path_) || mark == "*" || PartOfSave(file, there.size, target));
  }
  fs_.Close(file);
  if (error) throw PassFailure{step_, error};
  if (save) throw PassRefusal(PassRefusal::Reason::kTempIsSave, path_);
  if (!taken) throw PassRefusal(PassRefusal::Reason::kBusy);
  return ours ? Holds::kOurs : Holds::kOther;
}

void ScratchPath::Remove(ProgressSink& sink) const {
  // Dropping the blocks of an earlier run's temp file, as large as the save, takes a while.
  const std::error_code removed = WhileWaiting(sink, [&] { return fs_.Remove(path_); });
  if (removed && removed != std::errc::no_such_file_or_directory) throw PassFailure{step_, removed};
}

// Whether the file's `size` bytes are the first bytes of the save: a read that fails says no.
bool ScratchPath::PartOfSave(FileHandle file, std::uint64_t size, const std::string& target) const {
  FileHandle save = -1;
  if (fs_.Open(target, OpenMode::kRead, save)) return false;
  std::vector<char> ours(1 << 16), theirs(ours.size());
  bool same = true;
  for (std::uint64_t left = size; same && left > 0;) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, ours.size()));
    std::size_t got = 0, gotSave = 0;
    same =
        !fs_.Read(file, ours.data(), want, got) && got > 0 &&
        !fs_.Read(save, theirs.data(), got, gotSave) && gotSave == got &&
        std::equal(ours.begin(), ours.begin() + static_cast<std::ptrdiff_t>(got), theirs.begin());
    left -= got;
  }
  fs_.Close(save);
  return same;
}

void ScratchPath::MarkMade(FileSystem& fs, FileHandle file, const std::string& path) {
  fs.Mark(file, NameOf(path));
}

std::string ScratchPath::NameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace duskmend
