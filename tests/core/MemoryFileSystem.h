#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "FileSystem.h"

namespace duskmend::test {

// A file system in memory that keeps track of what would survive a power cut: a file's
// bytes reach the disk when the file is synced, a name when its folder is synced (one
// folder holds every name here). Nothing else is durable, as in the strictest real one.
class MemoryFileSystem : public FileSystem {
 public:
  // A durable file, as if it had been on the disk for long.
  void Put(const std::string& path, const std::string& bytes);
  std::optional<std::string> Get(const std::string& path) const;
  std::vector<std::string> Names() const;
  // The files as a power cut now would leave them: durable names with durable bytes.
  std::map<std::string, std::string> AfterPowerCut() const;

  std::error_code Open(const std::string& path, OpenMode mode, FileHandle& file) override;
  std::error_code Size(FileHandle file, std::uint64_t& size) override;
  std::error_code Read(FileHandle file, char* buffer, std::size_t size, std::size_t& got) override;
  std::error_code Write(FileHandle file, const char* data, std::size_t size) override;
  std::error_code Sync(FileHandle file) override;
  std::error_code Close(FileHandle file) override;
  std::error_code Copy(FileHandle from, std::uint64_t offset, std::uint64_t length,
                       FileHandle to) override;
  void Forget(FileHandle, std::uint64_t, std::uint64_t) override {}
  std::error_code CopyPermissions(FileHandle like, FileHandle to) override;
  std::error_code Truncate(FileHandle file, std::uint64_t size) override;
  std::error_code Lock(FileHandle file, bool& taken) override;
  void StartWriteBack(FileHandle, std::uint64_t, std::uint64_t) override {}
  std::error_code IdentityOf(FileHandle file, FileIdentity& identity) override;
  std::error_code IdentityAt(const std::string& path, FileIdentity& identity) override;
  std::error_code MayReplace(const std::string&, std::string&) override { return {}; }
  std::error_code FreeSpace(const std::string&, std::uint64_t& bytes) override;

  std::uint64_t freeSpace = std::uint64_t{1} << 40;  // what FreeSpace answers
  std::error_code Rename(const std::string& from, const std::string& to) override;
  std::error_code Exchange(const std::string& a, const std::string& b) override;
  std::error_code Link(const std::string& existing, const std::string& added) override;
  std::error_code Watch(const std::string& path, FileHandle& watch) override;
  std::error_code Changed(FileHandle watch, bool& changed, bool& written) override;
  bool ReplacesOpenFiles() const override { return true; }
  bool exchanges = true;  // whether Exchange is supported
  bool links = true;      // whether Link is (else it fails as across devices)
  std::error_code Remove(const std::string& path) override;
  std::error_code SyncFolderOf(const std::string& path) override;
  std::error_code ResolveLinks(const std::string& path, std::string& target) override;

 private:
  struct File {
    std::string bytes;
    std::string durable;
    std::int64_t version = 0;  // counts the changes, as a modification time would
    std::int64_t renamed = 0;  // with them, as a change time would
    FileHandle lockedBy = 0;
  };
  FileIdentity IdentityOfFile(int id) const;
  struct Handle {
    int file;
    std::size_t position = 0;
  };
  // A handle that was never opened, or is closed, is a fault of the pass: it throws.
  Handle& HandleOf(FileHandle handle);
  File& FileOf(FileHandle handle) { return files_.at(HandleOf(handle).file); }

  std::map<int, File> files_;
  std::map<std::string, int> names_;
  std::map<std::string, int> durableNames_;
  std::map<FileHandle, Handle> handles_;
  std::map<FileHandle, std::int64_t> watched_;  // a watch's file's version at the last look
  int nextFile_ = 1;
  FileHandle nextHandle_ = 3;
};

}  // namespace duskmend::test
