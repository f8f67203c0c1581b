#pragma once

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "FileSystem.h"

namespace duskmend::test {

// A file system in memory that keeps track of what would survive a power cut: a file's
// bytes reach the disk when the file is synced, a name when its folder is synced (one
// folder holds every name here). Nothing else is durable, as in the strictest real one. A
// name that begins with "other/" is on a second disk. A file takes room on its disk while it
// has a name or is open; a write that would need more than the disk holds fails.
class MemoryFileSystem : public FileSystem {
 public:
  // A durable file, as if it had been on the disk for long.
  void Put(const std::string& path, const std::string& bytes) {
    files_[nextFile_] = {bytes, bytes, 0, 0, 0, DiskOf(path)};
    names_[path] = durableNames_[path] = nextFile_++;
  }
  std::optional<std::string> Get(const std::string& path) const {
    auto name = names_.find(path);
    return name == names_.end() ? std::nullopt : std::optional(files_.at(name->second).bytes);
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& [name, file] : names_)
      names.push_back(name);
    return names;
  }
  // The files as a power cut now would leave them: durable names with durable bytes.
  std::map<std::string, std::string> AfterPowerCut() const {
    std::map<std::string, std::string> disk;
    for (const auto& [name, file] : durableNames_)
      disk[name] = files_.at(file).durable;
    return disk;
  }

  std::uint64_t capacity[2] = {std::uint64_t{1} << 40, std::uint64_t{1} << 40};  // each disk's
  bool exchanges = true;  // whether Exchange is supported
  bool links = true;      // whether Link is (else it fails as across devices)
  bool fullDisk = false;  // whether a write ever found its disk full

  std::error_code Open(const std::string& path, OpenMode mode, FileHandle& file) override;
  std::error_code Size(FileHandle file, std::uint64_t& size) override {
    size = FileOf(file).bytes.size();
    return {};
  }
  std::error_code Read(FileHandle file, char* buffer, std::size_t size, std::size_t& got) override {
    const std::string& bytes = FileOf(file).bytes;
    std::size_t& position = HandleOf(file).second;
    got = position < bytes.size() ? bytes.copy(buffer, size, position) : 0;
    position += got;
    return {};
  }
  std::error_code Write(FileHandle file, const char* data, std::size_t size) override {
    if (!Room(FileOf(file).disk, size)) return Error(std::errc::no_space_on_device);
    return Touched(file).bytes.append(data, size), std::error_code{};
  }
  std::error_code Sync(FileHandle file) override {
    FileOf(file).durable = FileOf(file).bytes;
    return {};
  }
  std::error_code Close(FileHandle file) override {
    if (FileOf(file).lockedBy == file) FileOf(file).lockedBy = 0;
    handles_.erase(file);
    return {};
  }
  std::error_code Copy(FileHandle from, std::uint64_t offset, std::uint64_t length,
                       FileHandle to) override {
    const std::string& source = FileOf(from).bytes;
    if (offset + length > source.size()) return ShortFileError();
    if (!Room(FileOf(to).disk, length)) return Error(std::errc::no_space_on_device);
    return Touched(to).bytes.append(source, offset, length), std::error_code{};
  }
  void Forget(FileHandle, std::uint64_t, std::uint64_t) override {}
  std::error_code CopyPermissions(FileHandle like, FileHandle to) override {
    return HandleOf(like), HandleOf(to), std::error_code{};
  }
  std::error_code Truncate(FileHandle file, std::uint64_t size) override {
    return Touched(file).bytes.resize(size), std::error_code{};
  }
  std::error_code Lock(FileHandle file, bool& taken) override {
    File& open = FileOf(file);
    taken = open.lockedBy == 0 || open.lockedBy == file;
    if (taken) open.lockedBy = file;
    return {};
  }
  void StartWriteBack(FileHandle, std::uint64_t, std::uint64_t) override {}
  std::error_code IdentityOf(FileHandle file, FileIdentity& identity) override {
    identity = IdentityOfFile(HandleOf(file).first);
    return {};
  }
  std::error_code IdentityAt(const std::string& path, FileIdentity& identity) override {
    if (!names_.count(path)) return Error(std::errc::no_such_file_or_directory);
    identity = IdentityOfFile(names_[path]);
    return {};
  }
  std::error_code MayReplace(const std::string&, std::string&) override { return {}; }
  std::error_code FreeSpace(const std::string& path, std::uint64_t& bytes,
                            std::uint64_t& disk) override {
    const int on = DiskOf(path);
    disk = static_cast<std::uint64_t>(on);
    bytes = capacity[on] - Used(on);
    return {};
  }
  std::error_code Rename(const std::string& from, const std::string& to) override;
  std::error_code Move(const std::string& from, const std::string& to) override {
    if (names_.count(to)) return Error(std::errc::file_exists);
    return Rename(from, to);
  }
  std::error_code Exchange(const std::string& a, const std::string& b) override;
  std::error_code Link(const std::string& existing, const std::string& added) override;
  std::error_code Watch(const std::string& path, FileHandle& watch) override;
  std::error_code Changed(FileHandle watch, bool& changed, bool& written) override {
    const std::int64_t version = FileOf(watch).version;
    changed = written = version != std::exchange(watched_.at(watch), version);
    return {};
  }
  std::error_code WatchName(const std::string&, FileHandle&) override {
    return Error(std::errc::not_supported);
  }
  std::error_code NameChanges(FileHandle, const std::string&, int& count) override {
    return count = 0, std::error_code{};
  }
  bool ReplacesOpenFiles() const override { return true; }
  std::error_code Remove(const std::string& path) override {
    return names_.erase(path) ? std::error_code{} : Error(std::errc::no_such_file_or_directory);
  }
  std::error_code SyncFolderOf(const std::string&) override {
    durableNames_ = names_;
    return {};
  }
  std::error_code ResolveLinks(const std::string& path, std::string& target) override {
    if (!names_.count(path)) return Error(std::errc::no_such_file_or_directory);
    target = path;
    return {};
  }

 private:
  struct File {
    std::string bytes;
    std::string durable;
    std::int64_t version = 0;  // counts the changes, as a modification time would
    std::int64_t renamed = 0;  // with them, as a change time would
    FileHandle lockedBy = 0;
    int disk = 0;
  };
  static std::error_code Error(std::errc error) { return std::make_error_code(error); }
  static int DiskOf(const std::string& path) { return path.starts_with("other/") ? 1 : 0; }
  std::uint64_t Links(int id) const {
    std::uint64_t links = 0;
    for (const auto& [name, file] : names_)
      links += file == id;
    return links;
  }
  std::uint64_t Used(int disk) const;
  bool Room(int disk, std::uint64_t more) {
    fullDisk = fullDisk || Used(disk) + more > capacity[disk];
    return Used(disk) + more <= capacity[disk];
  }
  FileIdentity IdentityOfFile(int id) const {
    const File& file = files_.at(id);
    return {static_cast<std::uint64_t>(file.disk + 1),
            static_cast<std::uint64_t>(id),
            file.bytes.size(),
            file.version,
            file.version + file.renamed,
            Links(id)};
  }
  // A handle that was never opened, or is closed, is a fault of the pass: it throws.
  std::pair<int, std::size_t>& HandleOf(FileHandle handle) {
    auto open = handles_.find(handle);
    if (open == handles_.end()) throw std::logic_error("a call on a handle that is not open");
    return open->second;
  }
  File& FileOf(FileHandle handle) { return files_.at(HandleOf(handle).first); }
  File& Touched(FileHandle handle) {  // a file about to change, counted as changed
    ++FileOf(handle).version;
    return FileOf(handle);
  }

  std::map<int, File> files_;
  std::map<std::string, int> names_;
  std::map<std::string, int> durableNames_;
  std::map<FileHandle, std::pair<int, std::size_t>> handles_;  // the file, and where it reads
  std::map<FileHandle, std::int64_t> watched_;  // a watch's file's version at the last look
  int nextFile_ = 1;
  FileHandle nextHandle_ = 3;
};

}  // namespace duskmend::test
