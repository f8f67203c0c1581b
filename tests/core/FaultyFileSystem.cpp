#include "FaultyFileSystem.h"

#include <filesystem>

namespace duskmend::test {

FaultyFileSystem::FaultyFileSystem(bool exchanges, const std::map<std::string, std::string>& files,
                                   const std::map<std::string, std::string>& marks)
    : exchanges_(exchanges) {
  for (const auto& [name, bytes] : files) {
    WriteFile(Path(name), bytes);
    synced_[FileOf(name)] = bytes;  // as if it had been on the disk for long
    FileHandle file = -1;           // written again, the mark after the last write
    if (marks.count(name) && !SystemFileSystem().Open(Path(name), OpenMode::kCreateOrEmpty, file)) {
      SystemFileSystem().Write(file, bytes.data(), bytes.size());
      if (!SystemFileSystem().Mark(file, marks.at(name))) marks_[FileOf(name)] = marks.at(name);
      SystemFileSystem().Close(file);
    }
  }
  NoteNames();
}

std::error_code FaultyFileSystem::Mark(FileHandle file, const std::string& name) {
  const std::error_code error = ForwardingFileSystem::Mark(file, name);
  FileIdentity identity;
  if (!error && !SystemFileSystem().IdentityOf(file, identity) && files_.count(identity.file)) {
    marks_[files_.at(identity.file)] = name;
  }
  return error;
}

std::error_code FaultyFileSystem::Write(FileHandle file, const char* data, std::size_t size) {
  FileIdentity identity;
  if (!kMarksOutlastWrites && !SystemFileSystem().IdentityOf(file, identity) &&
      files_.count(identity.file)) {
    marks_.erase(files_.at(identity.file));
  }
  return ForwardingFileSystem::Write(file, data, size);
}

std::map<std::string, int> FaultyFileSystem::NamedFiles() const {
  std::map<std::string, int> names;
  FileIdentity identity;
  for (const std::string& name : Names()) {
    if (!SystemFileSystem().IdentityAt(Path(name), identity) && files_.count(identity.file))
      names[name] = files_.at(identity.file);
  }
  return names;
}

std::map<std::string, std::string> FaultyFileSystem::Marks(bool afterPowerCut) const {
  std::map<std::string, std::string> marks;
  for (const auto& [name, file] : afterPowerCut ? syncedNames_ : NamedFiles())
    if (marks_.count(file) && !marks_.at(file).empty()) marks[name] = marks_.at(file);
  return marks;
}

std::optional<std::string> FaultyFileSystem::Get(const std::string& name) const {
  return Exists(Path(name)) ? std::optional(ReadFile(Path(name))) : std::nullopt;
}

std::vector<std::string> FaultyFileSystem::Names() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(Native(Path("")))) {
    if (entry.is_regular_file()) names.push_back(Utf8(entry.path().filename()));
  }
  return names;
}

std::map<std::string, std::string> FaultyFileSystem::Files() const {
  std::map<std::string, std::string> files;
  for (const std::string& name : Names())
    files[name] = ReadFile(Path(name));
  return files;
}

std::map<std::string, std::string> FaultyFileSystem::AfterPowerCut(bool namesKept) const {
  std::map<std::string, std::string> files;
  for (const auto& [name, file] : namesKept ? NamedFiles() : syncedNames_)
    files[name] = synced_.count(file) ? synced_.at(file) : "";
  return files;
}

int FaultyFileSystem::FileOf(const std::string& name) {
  FileIdentity identity;
  if (SystemFileSystem().IdentityAt(Path(name), identity)) return -1;
  auto [file, added] = files_.try_emplace(identity.file, next_);
  next_ += added;
  return file->second;
}

std::error_code FaultyFileSystem::Open(const std::string& path, OpenMode mode, FileHandle& file) {
  FileIdentity identity;
  const bool created = (mode == OpenMode::kCreateNew || mode == OpenMode::kCreateOrEmpty) &&
                       SystemFileSystem().IdentityAt(path, identity);
  std::error_code error = ForwardingFileSystem::Open(path, mode, file);
  if (!error && created && !SystemFileSystem().IdentityOf(file, identity)) {
    files_[identity.file] = next_++;  // nothing of it is on the disk yet
  }
  return error;
}

std::error_code FaultyFileSystem::Sync(FileHandle file) {
  std::error_code error = Leave("Sync", Enter("Sync"));
  FileIdentity identity, named;
  if (error || SystemFileSystem().IdentityOf(file, identity)) return error;
  for (const std::string& name : Names()) {
    if (!SystemFileSystem().IdentityAt(Path(name), named) && named.SameFile(identity)) {
      synced_[FileOf(name)] = ReadFile(Path(name));
      break;  // a file's bytes are the same under each of its names
    }
  }
  return error;
}

std::error_code FaultyFileSystem::SyncFolderOf(const std::string&) {
  std::error_code error = Leave("SyncFolderOf", Enter("SyncFolderOf"));
  if (!error) NoteNames();
  return error;
}

void FaultyFileSystem::NoteNames() {
  syncedNames_.clear();
  for (const std::string& name : Names())
    syncedNames_[name] = FileOf(name);
}

}  // namespace duskmend::test
