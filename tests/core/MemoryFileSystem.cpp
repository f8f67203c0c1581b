#include "MemoryFileSystem.h"

#include <stdexcept>
#include <utility>

namespace duskmend::test {
namespace {

std::error_code Error(std::errc error) { return std::make_error_code(error); }

}  // namespace

void MemoryFileSystem::Put(const std::string& path, const std::string& bytes) {
  files_[nextFile_] = {bytes, bytes};
  names_[path] = durableNames_[path] = nextFile_++;
}

std::optional<std::string> MemoryFileSystem::Get(const std::string& path) const {
  auto name = names_.find(path);
  if (name == names_.end()) return std::nullopt;
  return files_.at(name->second).bytes;
}

std::vector<std::string> MemoryFileSystem::Names() const {
  std::vector<std::string> names;
  for (const auto& [name, file] : names_)
    names.push_back(name);
  return names;
}

std::map<std::string, std::string> MemoryFileSystem::AfterPowerCut() const {
  std::map<std::string, std::string> disk;
  for (const auto& [name, file] : durableNames_)
    disk[name] = files_.at(file).durable;
  return disk;
}

MemoryFileSystem::Handle& MemoryFileSystem::HandleOf(FileHandle handle) {
  auto open = handles_.find(handle);
  if (open == handles_.end()) throw std::logic_error("a call on a handle that is not open");
  return open->second;
}

std::error_code MemoryFileSystem::Open(const std::string& path, OpenMode mode, FileHandle& file) {
  auto name = names_.find(path);
  const bool read = mode == OpenMode::kRead || mode == OpenMode::kReadNoLink;
  if (read && name == names_.end()) return Error(std::errc::no_such_file_or_directory);
  if (mode == OpenMode::kCreateNew && name != names_.end()) return Error(std::errc::file_exists);
  int id = 0;
  if (name != names_.end()) {
    id = name->second;
    if (mode == OpenMode::kCreateOrEmpty) {
      files_[id].bytes.clear();
      ++files_[id].version;
    }
  } else {
    id = nextFile_++;
    files_[id] = {};
    names_[path] = id;
  }
  file = nextHandle_++;
  handles_[file] = {id};
  return {};
}

std::error_code MemoryFileSystem::Size(FileHandle file, std::uint64_t& size) {
  size = FileOf(file).bytes.size();
  return {};
}

std::error_code MemoryFileSystem::Read(FileHandle file, char* buffer, std::size_t size,
                                       std::size_t& got) {
  const std::string& bytes = FileOf(file).bytes;
  std::size_t& position = HandleOf(file).position;
  got = position < bytes.size() ? bytes.copy(buffer, size, position) : 0;
  position += got;
  return {};
}

std::error_code MemoryFileSystem::Write(FileHandle file, const char* data, std::size_t size) {
  FileOf(file).bytes.append(data, size);
  ++FileOf(file).version;
  return {};
}

std::error_code MemoryFileSystem::Sync(FileHandle file) {
  FileOf(file).durable = FileOf(file).bytes;
  return {};
}

std::error_code MemoryFileSystem::Close(FileHandle file) {
  if (FileOf(file).lockedBy == file) FileOf(file).lockedBy = 0;
  handles_.erase(file);
  return {};
}

std::error_code MemoryFileSystem::Copy(FileHandle from, std::uint64_t offset, std::uint64_t length,
                                       FileHandle to) {
  const std::string& source = FileOf(from).bytes;
  if (offset + length > source.size()) return ShortFileError();
  FileOf(to).bytes.append(source, offset, length);
  ++FileOf(to).version;
  return {};
}

std::error_code MemoryFileSystem::CopyPermissions(FileHandle like, FileHandle to) {
  HandleOf(like), HandleOf(to);
  return {};
}

std::error_code MemoryFileSystem::Truncate(FileHandle file, std::uint64_t size) {
  FileOf(file).bytes.resize(size);
  ++FileOf(file).version;
  return {};
}

std::error_code MemoryFileSystem::Lock(FileHandle file, bool& taken) {
  File& open = FileOf(file);
  taken = open.lockedBy == 0 || open.lockedBy == file;
  if (taken) open.lockedBy = file;
  return {};
}

FileIdentity MemoryFileSystem::IdentityOfFile(int id) const {
  const File& file = files_.at(id);
  return {1, static_cast<std::uint64_t>(id), file.bytes.size(), file.version,
          file.version + file.renamed};
}

std::error_code MemoryFileSystem::IdentityOf(FileHandle file, FileIdentity& identity) {
  identity = IdentityOfFile(HandleOf(file).file);
  return {};
}

std::error_code MemoryFileSystem::IdentityAt(const std::string& path, FileIdentity& identity) {
  auto name = names_.find(path);
  if (name == names_.end()) return Error(std::errc::no_such_file_or_directory);
  identity = IdentityOfFile(name->second);
  return {};
}

std::error_code MemoryFileSystem::FreeSpace(const std::string&, std::uint64_t& bytes) {
  bytes = freeSpace;
  return {};
}

std::error_code MemoryFileSystem::Rename(const std::string& from, const std::string& to) {
  auto name = names_.find(from);
  if (name == names_.end()) return Error(std::errc::no_such_file_or_directory);
  ++files_[name->second].renamed;
  names_[to] = name->second;
  names_.erase(from);
  return {};
}

std::error_code MemoryFileSystem::Link(const std::string& existing, const std::string& added) {
  if (!links) return Error(std::errc::cross_device_link);
  auto name = names_.find(existing);
  if (name == names_.end()) return Error(std::errc::no_such_file_or_directory);
  if (names_.count(added)) return Error(std::errc::file_exists);
  names_[added] = name->second;
  return {};
}

std::error_code MemoryFileSystem::Exchange(const std::string& a, const std::string& b) {
  if (!exchanges) return Error(std::errc::not_supported);
  auto first = names_.find(a);
  auto second = names_.find(b);
  if (first == names_.end() || second == names_.end()) {
    return Error(std::errc::no_such_file_or_directory);
  }
  std::swap(first->second, second->second);
  ++files_[first->second].renamed;
  ++files_[second->second].renamed;
  return {};
}

std::error_code MemoryFileSystem::Watch(const std::string& path, FileHandle& watch) {
  auto name = names_.find(path);
  if (name == names_.end()) return Error(std::errc::no_such_file_or_directory);
  watch = nextHandle_++;
  handles_[watch] = {name->second};
  watched_[watch] = files_.at(name->second).version;
  return {};
}

std::error_code MemoryFileSystem::Changed(FileHandle watch, bool& changed, bool& written) {
  const std::int64_t version = FileOf(watch).version;
  changed = written = version != std::exchange(watched_.at(watch), version);
  return {};
}

std::error_code MemoryFileSystem::Remove(const std::string& path) {
  if (names_.erase(path) == 0) return Error(std::errc::no_such_file_or_directory);
  return {};
}

std::error_code MemoryFileSystem::SyncFolderOf(const std::string&) {
  durableNames_ = names_;
  return {};
}

std::error_code MemoryFileSystem::ResolveLinks(const std::string& path, std::string& target) {
  if (!names_.count(path)) return Error(std::errc::no_such_file_or_directory);
  target = path;
  return {};
}

}  // namespace duskmend::test
