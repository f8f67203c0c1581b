#include "MemoryFileSystem.h"

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

std::error_code MemoryFileSystem::Done(const char* call, std::error_code error) {
  if (afterCall) afterCall(call);
  return error;
}

MemoryFileSystem::File* MemoryFileSystem::FileOf(FileHandle handle) {
  auto open = handles_.find(handle);
  return open == handles_.end() ? nullptr : &files_.at(open->second.file);
}

std::error_code MemoryFileSystem::Open(const std::string& path, OpenMode mode, FileHandle& file) {
  auto name = names_.find(path);
  const bool read = mode == OpenMode::kRead || mode == OpenMode::kReadNoLink;
  if (read && name == names_.end()) {
    return Done("Open", Error(std::errc::no_such_file_or_directory));
  }
  if (mode == OpenMode::kCreateNew && name != names_.end()) {
    return Done("Open", Error(std::errc::file_exists));
  }
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
  return Done("Open");
}

std::error_code MemoryFileSystem::Size(FileHandle file, std::uint64_t& size) {
  File* open = FileOf(file);
  if (!open) return Done("Size", Error(std::errc::bad_file_descriptor));
  size = open->bytes.size();
  return Done("Size");
}

std::error_code MemoryFileSystem::Read(FileHandle file, char* buffer, std::size_t size,
                                       std::size_t& got) {
  File* open = FileOf(file);
  if (!open) return Done("Read", Error(std::errc::bad_file_descriptor));
  std::size_t& position = handles_.at(file).position;
  got = position < open->bytes.size() ? open->bytes.copy(buffer, size, position) : 0;
  position += got;
  return Done("Read");
}

std::error_code MemoryFileSystem::Write(FileHandle file, const char* data, std::size_t size) {
  File* open = FileOf(file);
  if (!open) return Done("Write", Error(std::errc::bad_file_descriptor));
  open->bytes.append(data, size);
  ++open->version;
  return Done("Write");
}

std::error_code MemoryFileSystem::Sync(FileHandle file) {
  File* open = FileOf(file);
  if (!open) return Done("Sync", Error(std::errc::bad_file_descriptor));
  open->durable = open->bytes;
  return Done("Sync");
}

std::error_code MemoryFileSystem::Close(FileHandle file) {
  File* open = FileOf(file);
  if (open && open->lockedBy == file) open->lockedBy = 0;
  if (handles_.erase(file) == 0) return Done("Close", Error(std::errc::bad_file_descriptor));
  return Done("Close");
}

std::error_code MemoryFileSystem::Copy(FileHandle from, std::uint64_t offset, std::uint64_t length,
                                       FileHandle to) {
  File* source = FileOf(from);
  File* target = FileOf(to);
  if (!source || !target) return Done("Copy", Error(std::errc::bad_file_descriptor));
  if (offset + length > source->bytes.size()) return Done("Copy", ShortFileError());
  target->bytes.append(source->bytes, offset, length);
  ++target->version;
  return Done("Copy");
}

std::error_code MemoryFileSystem::CopyPermissions(FileHandle like, FileHandle to) {
  if (!FileOf(like) || !FileOf(to)) {
    return Done("CopyPermissions", Error(std::errc::bad_file_descriptor));
  }
  return Done("CopyPermissions");
}

std::error_code MemoryFileSystem::Truncate(FileHandle file, std::uint64_t size) {
  File* open = FileOf(file);
  if (!open) return Done("Truncate", Error(std::errc::bad_file_descriptor));
  open->bytes.resize(size);
  ++open->version;
  return Done("Truncate");
}

std::error_code MemoryFileSystem::Lock(FileHandle file, bool& taken) {
  File* open = FileOf(file);
  if (!open) return Done("Lock", Error(std::errc::bad_file_descriptor));
  taken = open->lockedBy == 0 || open->lockedBy == file;
  if (taken) open->lockedBy = file;
  return Done("Lock");
}

FileIdentity MemoryFileSystem::IdentityOfFile(int id) const {
  const File& file = files_.at(id);
  return {1, static_cast<std::uint64_t>(id), file.bytes.size(), file.version,
          file.version + file.renamed};
}

std::error_code MemoryFileSystem::IdentityOf(FileHandle file, FileIdentity& identity) {
  auto open = handles_.find(file);
  if (open == handles_.end()) return Done("IdentityOf", Error(std::errc::bad_file_descriptor));
  identity = IdentityOfFile(open->second.file);
  return Done("IdentityOf");
}

std::error_code MemoryFileSystem::IdentityAt(const std::string& path, FileIdentity& identity) {
  auto name = names_.find(path);
  if (name == names_.end()) return Done("IdentityAt", Error(std::errc::no_such_file_or_directory));
  identity = IdentityOfFile(name->second);
  return Done("IdentityAt");
}

std::error_code MemoryFileSystem::FreeSpace(const std::string&, std::uint64_t& bytes) {
  bytes = freeSpace;
  return Done("FreeSpace");
}

std::error_code MemoryFileSystem::Rename(const std::string& from, const std::string& to) {
  auto name = names_.find(from);
  if (name == names_.end()) return Done("Rename", Error(std::errc::no_such_file_or_directory));
  ++files_[name->second].renamed;
  names_[to] = name->second;
  names_.erase(from);
  return Done("Rename");
}

std::error_code MemoryFileSystem::Link(const std::string& existing, const std::string& added) {
  auto name = names_.find(existing);
  if (name == names_.end()) return Done("Link", Error(std::errc::no_such_file_or_directory));
  if (names_.count(added)) return Done("Link", Error(std::errc::file_exists));
  names_[added] = name->second;
  return Done("Link");
}

std::error_code MemoryFileSystem::Exchange(const std::string& a, const std::string& b) {
  if (!exchanges) return Done("Exchange", Error(std::errc::not_supported));
  auto first = names_.find(a);
  auto second = names_.find(b);
  if (first == names_.end() || second == names_.end()) {
    return Done("Exchange", Error(std::errc::no_such_file_or_directory));
  }
  std::swap(first->second, second->second);
  ++files_[first->second].renamed;
  ++files_[second->second].renamed;
  return Done("Exchange");
}

std::error_code MemoryFileSystem::Watch(const std::string& path, FileHandle& watch) {
  auto name = names_.find(path);
  if (name == names_.end()) return Done("Watch", Error(std::errc::no_such_file_or_directory));
  watch = nextHandle_++;
  handles_[watch] = {name->second};
  watched_[watch] = files_.at(name->second).version;
  return Done("Watch");
}

std::error_code MemoryFileSystem::Changed(FileHandle watch, bool& changed, bool& written) {
  auto open = handles_.find(watch);
  if (open == handles_.end()) return Done("Changed", Error(std::errc::bad_file_descriptor));
  const std::int64_t version = files_.at(open->second.file).version;
  changed = written = version != std::exchange(watched_.at(watch), version);
  return Done("Changed");
}

std::error_code MemoryFileSystem::Remove(const std::string& path) {
  if (names_.erase(path) == 0) return Done("Remove", Error(std::errc::no_such_file_or_directory));
  return Done("Remove");
}

std::error_code MemoryFileSystem::SyncFolderOf(const std::string&) {
  durableNames_ = names_;
  return Done("SyncFolderOf");
}

std::error_code MemoryFileSystem::ResolveLinks(const std::string& path, std::string& target) {
  if (!names_.count(path)) {
    return Done("ResolveLinks", Error(std::errc::no_such_file_or_directory));
  }
  target = path;
  return Done("ResolveLinks");
}

}  // namespace duskmend::test
