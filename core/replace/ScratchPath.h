#pragma once

#include <string>
#include <utility>

#include "FileSystem.h"
#include "PassFailure.h"

namespace duskmend {

class ProgressSink;

// A name where a rewriting pass writes a file of its own: the temp path, or the part path of a
// backup copy. What stands there may go only where it is Duskmend's own: a file that carries
// the mark of that very name (each file that Duskmend makes carries the name it was made
// under), or a part copy of the save (a prefix of its bytes: one that a kill left before it
// had its mark, or one on a file system that keeps no marks). Anything else stays, and the pass
// is refused before it writes or removes a file.
class ScratchPath {
 public:
  enum class Holds { kNothing, kOurs, kOther };

  // `step`: what a failed look at the path is told as.
  ScratchPath(FileSystem& fs, std::string path, PassFailure::Step step)
      : fs_(fs), path_(std::move(path)), step_(step) {}

  const std::string& Path() const { return path_; }
  // What stands at the path, and its identity; `target` is the save, as the pass `read` it.
  // Throws PassRefusal where it is another name of the save or another Duskmend holds it,
  // PassFailure where it cannot be looked at.
  Holds Look(const std::string& target, const FileIdentity& read, FileIdentity& there) const;
  // Removes a file of Duskmend's own that Look found there.
  void Remove(ProgressSink& sink) const;

  // Gives a file just made at `path` the mark of its name. A file without its mark is only
  // refused later, never lost: a mark that cannot be set is no failure.
  static void MarkMade(FileSystem& fs, FileHandle file, const std::string& path);
  // The last part of a path: the file's name in its folder.
  static std::string NameOf(const std::string& path);

 private:
  bool PartOfSave(FileHandle file, std::uint64_t size, const std::string& target) const;

  FileSystem& fs_;
  std::string path_;
  PassFailure::Step step_;
};

}  // namespace duskmend
