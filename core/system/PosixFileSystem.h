#pragma once

#include <cerrno>
#include <string>
#include <system_error>

#include "FileSystem.h"

namespace duskmend {

// The machine's file system on POSIX systems. PosixFileSystem.cpp holds the calls that
// open, read, write and sync; PosixFileSystemReplace.cpp the calls that the replace step's
// guarantees rest on: identity, locks, room, permissions and the switch.
class PosixFileSystem final : public FileSystem {
 public:
  std::error_code Open(const std::string& path, OpenMode mode, FileHandle& file) override;
  std::error_code Size(FileHandle file, std::uint64_t& size) override;
  std::error_code Read(FileHandle file, char* buffer, std::size_t size, std::size_t& got) override;
  std::error_code Write(FileHandle file, const char* data, std::size_t size) override;
  std::error_code Sync(FileHandle file) override;
  std::error_code Close(FileHandle file) override;
  std::error_code Copy(FileHandle from, std::uint64_t offset, std::uint64_t length,
                       FileHandle to) override;
  void Forget(FileHandle file, std::uint64_t offset, std::uint64_t length) override;
  std::error_code Truncate(FileHandle file, std::uint64_t size) override;
  void StartWriteBack(FileHandle file, std::uint64_t offset, std::uint64_t length) override;
  std::error_code SyncFolderOf(const std::string& path) override;

  std::error_code CopyPermissions(FileHandle like, FileHandle to) override;
  std::error_code Lock(FileHandle file, bool& taken) override;
  std::error_code IdentityOf(FileHandle file, FileIdentity& identity) override;
  std::error_code IdentityAt(const std::string& path, FileIdentity& identity) override;
  std::error_code MayReplace(const std::string& path, std::string& reason) override;
  std::error_code FreeSpace(const std::string& path, std::uint64_t& bytes,
                            std::uint64_t& disk) override;
  std::error_code Rename(const std::string& from, const std::string& to) override;
  std::error_code Move(const std::string& from, const std::string& to) override;
  std::error_code Exchange(const std::string& a, const std::string& b) override;
  std::error_code Link(const std::string& existing, const std::string& added) override;
  std::error_code Watch(const std::string& path, FileHandle& watch) override;
  std::error_code Changed(FileHandle watch, bool& changed, bool& written) override;
  std::error_code WatchName(const std::string& path, FileHandle& watch) override;
  std::error_code NameChanges(FileHandle watch, const std::string& path, int& count) override;
  bool ReplacesOpenFiles() const override { return true; }
  std::error_code Remove(const std::string& path) override;
  std::error_code ResolveLinks(const std::string& path, std::string& target) override;
  std::error_code Mark(FileHandle file, const std::string& name) override;
  std::error_code MarkOf(FileHandle file, std::string& name) override;
};

namespace posix {

inline std::error_code LastError() { return {errno, std::system_category()}; }
inline int Fd(FileHandle file) { return static_cast<int>(file); }

// The folder that holds `path`.
inline std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace posix
}  // namespace duskmend
