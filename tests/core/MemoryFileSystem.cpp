#include "MemoryFileSystem.h"

#include <set>

namespace duskmend::test {

std::error_code MemoryFileSystem::Open(const std::string& path, OpenMode mode, FileHandle& file) {
  auto name = names_.find(path);
  const bool read = mode == OpenMode::kRead || mode == OpenMode::kReadNoLink;
  if (read && name == names_.end()) return Error(std::errc::no_such_file_or_directory);
  if (mode == OpenMode::kCreateNew && name != names_.end()) return Error(std::errc::file_exists);
  const bool existed = name != names_.end();
  if (!existed) {
    files_[nextFile_] = {};
    files_[nextFile_].disk = DiskOf(path);
    name = names_.emplace(path, nextFile_++).first;
  }
  file = nextHandle_++;
  handles_[file] = {name->second, 0};
  if (existed && mode == OpenMode::kCreateOrEmpty) Touched(file).bytes.clear();
  return {};
}

std::uint64_t MemoryFileSystem::Used(int disk) const {
  std::set<int> taking;
  for (const auto& [name, file] : names_)
    taking.insert(file);
  for (const auto& [handle, open] : handles_) {
    if (!watched_.count(handle)) taking.insert(open.first);  // a watch keeps no room
  }
  std::uint64_t used = 0;
  for (int file : taking)
    used += files_.at(file).disk == disk ? files_.at(file).bytes.size() : 0;
  return used;
}

std::error_code MemoryFileSystem::Rename(const std::string& from, const std::string& to) {
  if (!names_.count(from)) return Error(std::errc::no_such_file_or_directory);
  if (DiskOf(from) != DiskOf(to)) return Error(std::errc::cross_device_link);
  ++files_[names_[from]].renamed;
  names_[to] = names_[from];
  names_.erase(from);
  return {};
}

std::error_code MemoryFileSystem::Link(const std::string& existing, const std::string& added) {
  if (!links || DiskOf(existing) != DiskOf(added)) return Error(std::errc::cross_device_link);
  if (!names_.count(existing)) return Error(std::errc::no_such_file_or_directory);
  if (names_.count(added)) return Error(std::errc::file_exists);
  names_[added] = names_[existing];
  return {};
}

std::error_code MemoryFileSystem::Exchange(const std::string& a, const std::string& b) {
  if (!exchanges) return Error(std::errc::not_supported);
  if (!names_.count(a) || !names_.count(b)) return Error(std::errc::no_such_file_or_directory);
  std::swap(names_[a], names_[b]);
  ++files_[names_[a]].renamed;
  ++files_[names_[b]].renamed;
  return {};
}

std::error_code MemoryFileSystem::Watch(const std::string& path, FileHandle& watch) {
  if (!names_.count(path)) return Error(std::errc::no_such_file_or_directory);
  watch = nextHandle_++;
  handles_[watch] = {names_[path], 0};
  watched_[watch] = files_.at(names_[path]).version;
  return {};
}

}  // namespace duskmend::test
