#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <system_error>

namespace duskmend {

// A file descriptor, or a Windows HANDLE.
using FileHandle = std::intptr_t;

enum class OpenMode {
  kRead,           // an existing regular file; never a directory, FIFO or device
  kReadNoLink,     // the same, but never through a symbolic link
  kCreateOrEmpty,  // a regular file, created or emptied; a symbolic link there is refused
  kCreateNew,      // a new regular file, private to its owner; fails when the name exists
};

// What tells one file apart from another, and one state of a file from the next.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t file = 0;  // the inode, or the Windows file index
  std::uint64_t size = 0;
  std::int64_t modified = 0;  // the last write, in the system's finest unit
  // The last change of its bytes or of what the system keeps about it (a write whose old
  // modification time was put back included); a rename sets it too.
  std::int64_t changed = 0;
  std::uint64_t links = 0;  // the names it has; 0 once the last one went and it is only open
  bool operator==(const FileIdentity&) const = default;
  bool SameFile(const FileIdentity& other) const {
    return device == other.device && file == other.file;
  }
  // The same file with the same bytes, as far as a rename leaves it to tell.
  bool SameFileAndText(const FileIdentity& other) const {
    return SameFile(other) && size == other.size && modified == other.modified;
  }
};

// Every file-system call of the core goes through here, so that a test can fail any of them.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual std::error_code Open(const std::string& path, OpenMode mode, FileHandle& file) = 0;
  virtual std::error_code Size(FileHandle file, std::uint64_t& size) = 0;
  // Reads up to `size` bytes; `got` is 0 only at the end of the file.
  virtual std::error_code Read(FileHandle file, char* buffer, std::size_t size,
                               std::size_t& got) = 0;
  // Writes all `size` bytes or fails; a write that stops short fails with "no space".
  virtual std::error_code Write(FileHandle file, const char* data, std::size_t size) = 0;
  virtual std::error_code Sync(FileHandle file) = 0;
  virtual std::error_code Close(FileHandle file) = 0;
  // Copies `length` bytes of `from`, from `offset` on, to `to` at its current position;
  // fails when `from` ends sooner.
  virtual std::error_code Copy(FileHandle from, std::uint64_t offset, std::uint64_t length,
                               FileHandle to) = 0;
  // Tells the system that these bytes of `file` will not be read again, so that the memory
  // that caches them can go to better use. Only advice: nothing fails.
  virtual void Forget(FileHandle file, std::uint64_t offset, std::uint64_t length) = 0;
  // Gives `to` the permission bits, owner, group, extended attributes and access lists of
  // `like`; fails when one of them cannot be kept.
  virtual std::error_code CopyPermissions(FileHandle like, FileHandle to) = 0;
  // Sets the file's length and puts its position there.
  virtual std::error_code Truncate(FileHandle file, std::uint64_t size) = 0;
  // Takes an exclusive lock on the file for as long as it is open, without waiting;
  // `taken` is false when another program holds it.
  virtual std::error_code Lock(FileHandle file, bool& taken) = 0;
  // Starts writing these bytes to the disk without waiting for them. Only advice.
  virtual void StartWriteBack(FileHandle file, std::uint64_t offset, std::uint64_t length) = 0;
  virtual std::error_code IdentityOf(FileHandle file, FileIdentity& identity) = 0;
  // The identity of the file that `path` names, a symbolic link itself included.
  virtual std::error_code IdentityAt(const std::string& path, FileIdentity& identity) = 0;
  // Whether this user may replace the file at `path` keeping it as it is: an error, and the
  // reason in words, when it is read-only or would change hands.
  virtual std::error_code MayReplace(const std::string& path, std::string& reason) = 0;
  // Bytes that this user may still write to the file system that holds `path`, and which
  // disk that is: two paths with the same `disk` take their room from the same bytes.
  virtual std::error_code FreeSpace(const std::string& path, std::uint64_t& bytes,
                                    std::uint64_t& disk) = 0;
  // Gives the file that `existing` names another name, `added`, which must not exist yet.
  virtual std::error_code Link(const std::string& existing, const std::string& added) = 0;
  // Puts `from` in the place of `to` in one step: `to` names the old or the new file, always.
  virtual std::error_code Rename(const std::string& from, const std::string& to) = 0;
  // Puts `from` at `to` in one step, where nothing may stand yet: fails with
  // std::errc::file_exists, replacing nothing, where something does.
  virtual std::error_code Move(const std::string& from, const std::string& to) = 0;
  // Swaps the files that `a` and `b` name in one step; fails with std::errc::not_supported
  // where the file system cannot.
  virtual std::error_code Exchange(const std::string& a, const std::string& b) = 0;
  // Starts noting writes to the file that `path` names and changes of its times, permissions
  // or links; `watch` is closed with Close. Fails with std::errc::not_supported where the
  // system cannot.
  virtual std::error_code Watch(const std::string& path, FileHandle& watch) = 0;
  // Whether the watched file was changed since the last look (or since Watch), and whether
  // its bytes were written among those changes.
  virtual std::error_code Changed(FileHandle watch, bool& changed, bool& written) = 0;
  // Starts noting the files that come to the name `path` in its folder or go from it (a
  // rename, a link, a new file, a removal); `watch` is closed with Close. Fails with
  // std::errc::not_supported where the system cannot.
  virtual std::error_code WatchName(const std::string& path, FileHandle& watch) = 0;
  // How many times a file came to the watched name or went from it since the last look
  // (or since WatchName); `path` is the one given to WatchName.
  virtual std::error_code NameChanges(FileHandle watch, const std::string& path, int& count) = 0;
  // Whether a file may be renamed over, or swapped, while this program holds it open.
  virtual bool ReplacesOpenFiles() const = 0;
  virtual std::error_code Remove(const std::string& path) = 0;
  // Makes the names in the folder that holds `path` durable.
  virtual std::error_code SyncFolderOf(const std::string& path) = 0;
  // The path of the file that `path` names, with every symbolic link followed.
  virtual std::error_code ResolveLinks(const std::string& path, std::string& target) = 0;
  // Gives the file the mark that Duskmend gives each file that it makes: the name it was made
  // under; an empty one takes the mark away. The mark goes with the file when it is renamed.
  // Fails with std::errc::not_supported where the file system keeps no marks.
  virtual std::error_code Mark(FileHandle file, const std::string& name) = 0;
  // The file's mark, empty where it has none, "*" where the system keeps a mark but no name
  // with it; fails as Mark does.
  virtual std::error_code MarkOf(FileHandle file, std::string& name) = 0;
};

// The machine's own file system.
FileSystem& SystemFileSystem();

// Removes a file that holds half a text; one that cannot be removed is emptied instead.
void Discard(FileSystem& fs, const std::string& path);

// The error of a path that names something other than a regular file (a FIFO, a device).
std::error_code NotRegularFileError();
// The error of a file that ends before the length it had.
std::error_code ShortFileError();

}  // namespace duskmend
