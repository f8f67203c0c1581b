#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace duskmend::test {

#if defined(_WIN32)
constexpr bool kMarksOutlastWrites = false;  // Windows keeps a mark in the last write's time
#else
constexpr bool kMarksOutlastWrites = true;
#endif

// A fresh folder of real files on the machine's own file system, every call of which a test
// can fail (the `fault` it inherits), that keeps what a power cut would leave: each file's
// bytes as of its last sync, the folder's names as of its last sync. On a system that swaps
// no names and links no files (FAT), a backup is a copy.
class FaultyFileSystem : public ForwardingFileSystem {
 public:
  // `marks`: the files among them that carry Duskmend's mark, and the name it gives.
  FaultyFileSystem(bool exchanges, const std::map<std::string, std::string>& files,
                   const std::map<std::string, std::string>& marks = {});

  // The path of `name` in the folder.
  std::string Path(const std::string& name) const { return dir_.Path(name); }
  std::optional<std::string> Get(const std::string& name) const;
  // Every file in the folder as it stands: what a kill would leave.
  std::map<std::string, std::string> Files() const;
  // What a power cut now would leave: the synced names (or, where the file system wrote its
  // names down meanwhile, the names as they stand), each with its file's synced bytes.
  std::map<std::string, std::string> AfterPowerCut(bool namesKept = false) const;
  // The marks that the files carry, by name, now or after a power cut: a mark lasts as its
  // file does.
  std::map<std::string, std::string> Marks(bool afterPowerCut = false) const;

  std::error_code Open(const std::string& path, OpenMode mode, FileHandle& file) override;
  std::error_code Sync(FileHandle file) override;
  std::error_code SyncFolderOf(const std::string& path) override;
  std::error_code Exchange(const std::string& a, const std::string& b) override {
    if (exchanges_) return ForwardingFileSystem::Exchange(a, b);
    return Unsupported("Exchange", std::errc::not_supported);
  }
  std::error_code Mark(FileHandle file, const std::string& name) override;
  std::error_code Write(FileHandle file, const char* data, std::size_t size) override;
  std::error_code Link(const std::string& existing, const std::string& added) override {
    if (exchanges_) return ForwardingFileSystem::Link(existing, added);
    return Unsupported("Link", std::errc::cross_device_link);
  }

 private:
  // One file from its creation on: the system may give a removed file's number to the next.
  int FileOf(const std::string& name);
  std::vector<std::string> Names() const;         // the regular files in the folder
  std::map<std::string, int> NamedFiles() const;  // the file that each name stands for now
  void NoteNames();  // the folder's names, as a sync of it makes them durable
  // A call that this system does not have: seen and counted as any other.
  std::error_code Unsupported(const std::string& call, std::errc error) {
    if (std::error_code planned = Enter(call)) return planned;
    return Leave(call.c_str(), std::make_error_code(error));
  }

  TempDir dir_;
  bool exchanges_;
  std::map<std::uint64_t, int> files_;  // the file that each file number stands for now
  std::map<int, std::string> synced_;   // each file's bytes at its last sync
  std::map<std::string, int> syncedNames_;
  std::map<int, std::string> marks_;  // each file's mark
  int next_ = 0;
};

}  // namespace duskmend::test
