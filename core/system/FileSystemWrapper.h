#pragma once

#include <functional>
#include <string>

#include "FileSystem.h"

namespace duskmend {

// A file system that hands every call to another one. A wrapper overrides the calls it
// changes, or `Forward` to stand before every call that can fail (a test that fails them).
class FileSystemWrapper : public FileSystem {
 public:
  explicit FileSystemWrapper(FileSystem& inner) : inner_(inner) {}

  std::error_code Open(const std::string& path, OpenMode mode, FileHandle& file) override {
    return Forward("Open", [&] { return inner_.Open(path, mode, file); });
  }
  std::error_code Size(FileHandle file, std::uint64_t& size) override {
    return Forward("Size", [&] { return inner_.Size(file, size); });
  }
  std::error_code Read(FileHandle file, char* buffer, std::size_t size, std::size_t& got) override {
    return Forward("Read", [&] { return inner_.Read(file, buffer, size, got); });
  }
  std::error_code Write(FileHandle file, const char* data, std::size_t size) override {
    return Forward("Write", [&] { return inner_.Write(file, data, size); });
  }
  std::error_code Sync(FileHandle file) override {
    return Forward("Sync", [&] { return inner_.Sync(file); });
  }
  std::error_code Close(FileHandle file) override {
    return Forward("Close", [&] { return inner_.Close(file); });
  }
  std::error_code Copy(FileHandle from, std::uint64_t offset, std::uint64_t length,
                       FileHandle to) override {
    return Forward("Copy", [&] { return inner_.Copy(from, offset, length, to); });
  }
  void Forget(FileHandle file, std::uint64_t offset, std::uint64_t length) override {
    inner_.Forget(file, offset, length);
  }
  std::error_code CopyPermissions(FileHandle like, FileHandle to) override {
    return Forward("CopyPermissions", [&] { return inner_.CopyPermissions(like, to); });
  }
  std::error_code Truncate(FileHandle file, std::uint64_t size) override {
    return Forward("Truncate", [&] { return inner_.Truncate(file, size); });
  }
  std::error_code Lock(FileHandle file, bool& taken) override {
    return Forward("Lock", [&] { return inner_.Lock(file, taken); });
  }
  void StartWriteBack(FileHandle file, std::uint64_t offset, std::uint64_t length) override {
    inner_.StartWriteBack(file, offset, length);
  }
  std::error_code IdentityOf(FileHandle file, FileIdentity& identity) override {
    return Forward("IdentityOf", [&] { return inner_.IdentityOf(file, identity); });
  }
  std::error_code IdentityAt(const std::string& path, FileIdentity& identity) override {
    return Forward("IdentityAt", [&] { return inner_.IdentityAt(path, identity); });
  }
  std::error_code MayReplace(const std::string& path, std::string& reason) override {
    return Forward("MayReplace", [&] { return inner_.MayReplace(path, reason); });
  }
  std::error_code FreeSpace(const std::string& path, std::uint64_t& bytes,
                            std::uint64_t& disk) override {
    return Forward("FreeSpace", [&] { return inner_.FreeSpace(path, bytes, disk); });
  }
  std::error_code Link(const std::string& existing, const std::string& added) override {
    return Forward("Link", [&] { return inner_.Link(existing, added); });
  }
  std::error_code Rename(const std::string& from, const std::string& to) override {
    return Forward("Rename", [&] { return inner_.Rename(from, to); });
  }
  std::error_code Move(const std::string& from, const std::string& to) override {
    return Forward("Move", [&] { return inner_.Move(from, to); });
  }
  std::error_code Exchange(const std::string& a, const std::string& b) override {
    return Forward("Exchange", [&] { return inner_.Exchange(a, b); });
  }
  std::error_code Watch(const std::string& path, FileHandle& watch) override {
    return Forward("Watch", [&] { return inner_.Watch(path, watch); });
  }
  std::error_code Changed(FileHandle watch, bool& changed, bool& written) override {
    return Forward("Changed", [&] { return inner_.Changed(watch, changed, written); });
  }
  std::error_code WatchName(const std::string& path, FileHandle& watch) override {
    return Forward("WatchName", [&] { return inner_.WatchName(path, watch); });
  }
  std::error_code NameChanges(FileHandle watch, const std::string& path, int& count) override {
    return Forward("NameChanges", [&] { return inner_.NameChanges(watch, path, count); });
  }
  bool ReplacesOpenFiles() const override { return inner_.ReplacesOpenFiles(); }
  std::error_code Remove(const std::string& path) override {
    return Forward("Remove", [&] { return inner_.Remove(path); });
  }
  std::error_code SyncFolderOf(const std::string& path) override {
    return Forward("SyncFolderOf", [&] { return inner_.SyncFolderOf(path); });
  }
  std::error_code ResolveLinks(const std::string& path, std::string& target) override {
    return Forward("ResolveLinks", [&] { return inner_.ResolveLinks(path, target); });
  }
  std::error_code Mark(FileHandle file, const std::string& name) override {
    return Forward("Mark", [&] { return inner_.Mark(file, name); });
  }
  std::error_code MarkOf(FileHandle file, std::string& name) override {
    return Forward("MarkOf", [&] { return inner_.MarkOf(file, name); });
  }

 protected:
  // Makes the call named `call`: `forward` makes it on the inner file system.
  virtual std::error_code Forward([[maybe_unused]] const char* call,
                                  const std::function<std::error_code()>& forward) {
    return forward();
  }
  FileSystem& Inner() const { return inner_; }

 private:
  FileSystem& inner_;
};

}  // namespace duskmend
