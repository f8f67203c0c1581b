#pragma once

#include <functional>
#include <string>
#include <system_error>

#include "FileSystem.h"

namespace duskmend {

// The machine's file system on Windows; paths arrive as UTF-8 and go to the wide API.
// WindowsFileSystem.cpp holds the calls that open, read, write and sync;
// WindowsFileSystemReplace.cpp the calls that the replace step's guarantees rest on:
// identity, locks, room, permissions and the switch.
class WindowsFileSystem final : public FileSystem {
 public:
  std::error_code Open(const std::string& path, OpenMode mode, FileHandle& file) override;
  std::error_code Size(FileHandle file, std::uint64_t& size) override;
  std::error_code Read(FileHandle file, char* buffer, std::size_t size, std::size_t& got) override;
  std::error_code Write(FileHandle file, const char* data, std::size_t size) override;
  std::error_code Sync(FileHandle file) override;
  std::error_code Close(FileHandle file) override;
  std::error_code Copy(FileHandle from, std::uint64_t offset, std::uint64_t length,
                       FileHandle to) override;
  void Forget(FileHandle, std::uint64_t, std::uint64_t) override {}
  std::error_code Truncate(FileHandle file, std::uint64_t size) override;
  void StartWriteBack(FileHandle, std::uint64_t, std::uint64_t) override {}
  // A rename with MOVEFILE_WRITE_THROUGH is durable when it returns.
  std::error_code SyncFolderOf(const std::string&) override { return {}; }

  // A new file takes the permissions of its folder, as the world save did.
  std::error_code CopyPermissions(FileHandle, FileHandle) override { return {}; }
  std::error_code Lock(FileHandle file, bool& taken) override;
  std::error_code IdentityOf(FileHandle file, FileIdentity& identity) override;
  std::error_code IdentityAt(const std::string& path, FileIdentity& identity) override;
  std::error_code MayReplace(const std::string& path, std::string& reason) override;
  std::error_code FreeSpace(const std::string& path, std::uint64_t& bytes,
                            std::uint64_t& disk) override;
  std::error_code Rename(const std::string& from, const std::string& to) override;
  std::error_code Move(const std::string& from, const std::string& to) override;
  std::error_code Link(const std::string& existing, const std::string& added) override;
  // Windows has no swap of two names in one step.
  std::error_code Exchange(const std::string&, const std::string&) override {
    return std::make_error_code(std::errc::not_supported);
  }
  // The rename is not checked after it happens: nothing to watch for.
  std::error_code Watch(const std::string&, FileHandle&) override {
    return std::make_error_code(std::errc::not_supported);
  }
  std::error_code Changed(FileHandle, bool& changed, bool& written) override {
    changed = written = false;
    return {};
  }
  std::error_code WatchName(const std::string&, FileHandle&) override {
    return std::make_error_code(std::errc::not_supported);
  }
  std::error_code NameChanges(FileHandle, const std::string&, int& count) override {
    count = 0;
    return {};
  }
  // A save that is open, even shared for deletion, cannot be renamed over.
  bool ReplacesOpenFiles() const override { return false; }
  std::error_code Remove(const std::string& path) override;
  std::error_code ResolveLinks(const std::string& path, std::string& target) override;
  // The mark is in the last write's time: see WindowsFileSystemReplace.cpp.
  std::error_code Mark(FileHandle file, const std::string& name) override;
  std::error_code MarkOf(FileHandle file, std::string& name) override;
};

namespace windows {

std::error_code LastError();
// A Windows HANDLE is a pointer.
inline void* Win(FileHandle file) { return reinterpret_cast<void*>(file); }
std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);

// Another program (a virus scanner, an indexer, the game server's backup) may hold a file
// for a moment; a few short tries, half a second in all, ride that out. A file that is
// being deleted answers "access denied" for that moment, too.
bool Retrying(const std::function<bool()>& step, bool whileDenied = true);

}  // namespace windows
}  // namespace duskmend
