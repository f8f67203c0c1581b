// Named cases of the replace step: another program at the switch, disks without room, and on
// Windows a save held open.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "FaultyFileSystem.h"
#include "ReplaceStep.h"
#include "TestSupport.h"

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>  // after the core's headers, as it defines a macro named Yield
#endif

namespace duskmend::test {
namespace {

const std::string kOld = CrLf({"[SECTOR 1,1]", "LOCALLIGHT=5"});

#if !defined(_WIN32)  // the swap of names, and room kept as POSIX keeps it
// Another program puts its save in place at the very moment of the switch, and its file
// cannot be swapped back: it is kept beside the save under a name of its own, and the pass
// says where each text is.
TEST(ReplaceTest, AWriterAtTheSwitchWhoseFileCannotGoBackFindsItKeptBesideTheSave) {
  FaultyFileSystem folder(true, {{"w.scp", kOld + "A=1\r\n"}, {"new.scp", "WRITER\r\n"}});
  int exchanges = 0;
  folder.fault = [&](const std::string& call) {
    if (call != "Exchange") return std::error_code{};
    if (++exchanges == 2) return std::make_error_code(std::errc::io_error);
    std::filesystem::rename(Native(folder.Path("new.scp")), Native(folder.Path("w.scp")));
    return std::error_code{};
  };
  PathHarness h(folder);
  const PassResult result = h.passes.Remove(folder.Path("w.scp"));
  EXPECT_EQ(result.outcome, PassOutcome::kFailed);
  EXPECT_EQ(folder.Get("w.scp"), CrLf({"[SECTOR 1,1]", "A=1"}));
  ASSERT_TRUE(result.failure);
  EXPECT_EQ(result.failure->step, PassFailure::Step::kWorldChangedAtSwitch);
  ASSERT_TRUE(result.keptPath.starts_with(folder.Path("w.scp.other-"))) << result.keptPath;
  EXPECT_EQ(ReadFile(result.keptPath), "WRITER\r\n");
  EXPECT_NE(PassMessage(result).find("It is in " + result.keptPath + ";"), std::string::npos);
}

// A folder with a second disk in it, "other/", each of the two holding `capacity` bytes: a
// file takes room on its disk while it has a name there or is open.
class SmallDisks : public FaultyFileSystem {
 public:
  SmallDisks(std::uint64_t first, std::uint64_t second, const std::string& bytes)
      : FaultyFileSystem(true, {{"w.scp", bytes}}), capacity_{first, second} {
    std::filesystem::create_directory(Native(Path("other")));
  }
  bool links = true;      // whether a backup may be a link of the save
  bool fullDisk = false;  // whether a write ever found its disk full

  std::error_code FreeSpace(const std::string& path, std::uint64_t& bytes,
                            std::uint64_t& disk) override {
    disk = OnSecond(path);
    bytes = capacity_[disk] - Used(disk);
    return {};
  }
  std::error_code Open(const std::string& path, OpenMode mode, FileHandle& file) override {
    std::error_code error = FaultyFileSystem::Open(path, mode, file);
    if (!error) open_[file] = OnSecond(path);
    return error;
  }
  std::error_code Close(FileHandle file) override {
    open_.erase(file);
    return FaultyFileSystem::Close(file);
  }
  std::error_code Write(FileHandle file, const char* data, std::size_t size) override {
    return Room(file, size) ? FaultyFileSystem::Write(file, data, size) : NoSpace();
  }
  std::error_code Copy(FileHandle from, std::uint64_t offset, std::uint64_t length,
                       FileHandle to) override {
    return Room(to, length) ? FaultyFileSystem::Copy(from, offset, length, to) : NoSpace();
  }
  std::error_code Link(const std::string& existing, const std::string& added) override {
    return links && OnSecond(existing) == OnSecond(added) ? FaultyFileSystem::Link(existing, added)
                                                          : NoSpace(std::errc::cross_device_link);
  }

 private:
  bool OnSecond(const std::string& path) const { return path.starts_with(Path("other/")); }
  static std::error_code NoSpace(std::errc error = std::errc::no_space_on_device) {
    return std::make_error_code(error);
  }
  // The bytes of the files on `disk` that have a name or are open, each file counted once.
  std::uint64_t Used(bool disk) {
    std::map<std::uint64_t, std::uint64_t> files;
    FileIdentity identity;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(Native(Path("")))) {
      const std::string path = Utf8(entry.path());
      if (entry.is_regular_file() && OnSecond(path) == disk &&
          !SystemFileSystem().IdentityAt(path, identity)) {
        files[identity.file] = identity.size;
      }
    }
    for (const auto& [file, on] : open_) {
      if (on == disk && !SystemFileSystem().IdentityOf(file, identity)) {
        files[identity.file] = identity.size;
      }
    }
    std::uint64_t used = 0;
    for (const auto& [file, size] : files)
      used += size;
    return used;
  }
  bool Room(FileHandle file, std::uint64_t more) {
    const bool room = Used(open_.at(file)) + more <= capacity_[open_.at(file)];
    fullDisk = fullDisk || !room;
    return room;
  }
  std::uint64_t capacity_[2];
  std::map<FileHandle, bool> open_;  // each open file, and whether it is on the second disk
};

// Each disk is asked before anything is written for what it will get: the save's for the new
// text (and for a copied backup beside it), the backup's for its copy. After the switch the
// copy at the temp path never fills the disk: the old save's room comes free first where it
// has no other name, and where it has one (a linked backup) the copy is left out and said so.
TEST(ReplaceTest, EachDiskIsAskedForWhatItGetsAndNoneIsFilled) {
  constexpr std::uint64_t kSize = 3'000'000, kMargin = RewriteFiles::kSpaceMargin;
  const std::string kNoRoom = "Not enough free space beside ";
  // A change from 5 to 6 keeps its size.
  const std::string kEntry = "[SECTOR 1,1]\r\nLIGHT=",
                    kRest = "\r\n" + std::string(kSize - 25, 'x');
  const std::string kText = kEntry + "5" + kRest + "\r\n", kNew = kEntry + "6" + kRest + "\r\n";
  struct Case {
    const char* name;
    std::uint64_t free[2];  // each disk's room beside the save
    const char* backup;     // "" for none; "other/..." on the second disk
    bool links;
    std::string message;  // a refusal's, or what a pass that is done says
  } cases[] = {
      {"a byte short of the new text",
       {5'999'999, 0},
       "",
       true,
       kNoRoom + "w.scp: 8 MB needed, 5 MB free.\nNothing was changed."},
      {"the new text and its copy, once the old save's room is free",
       {kSize + kMargin, 0},
       "",
       true,
       ""},
      {"a linked backup keeps the old save's room: no copy",
       {kSize + kMargin, 0},
       "b.scp",
       true,
       "The worldsave was replaced, but its copy w.scptmp could not be written.\n" +
           std::make_error_code(std::errc::no_space_on_device).message()},
      {"a copied backup beside the save",
       {2 * kSize + kMargin - 1, 0},
       "b.scp",
       false,
       kNoRoom + "w.scp: 11 MB needed, 10 MB free.\nNothing was changed."},
      {"a copied backup on another disk, room on each",
       {kSize + kMargin, kSize + kMargin},
       "other/b.scp",
       true,
       ""},
      {"a copied backup on another, full disk",
       {1 << 30, kSize},
       "other/b.scp",
       true,
       kNoRoom + "other/b.scp: 8 MB needed, 3 MB free.\nNothing was changed."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SmallDisks folder(kSize + c.free[0], c.free[1], kText);
    folder.links = c.links;
    PathHarness h(folder);
    const std::string backup = *c.backup ? folder.Path(c.backup) : "";
    const PassResult result = h.passes.Change(folder.Path("w.scp"), "6", {.backup = backup});
    std::string message = PassMessage(result);  // with names in the folder for its paths
    for (std::size_t at; (at = message.find(folder.Path(""))) != std::string::npos;)
      message.erase(at, folder.Path("").size());
    EXPECT_EQ(message, c.message);
    EXPECT_FALSE(folder.fullDisk);
    if (result.outcome == PassOutcome::kRefused) {
      EXPECT_EQ(folder.Files().size(), 1u);
      continue;
    }
    EXPECT_EQ(result.outcome, PassOutcome::kDone);
    EXPECT_TRUE(folder.Get("w.scp") == kNew);
    EXPECT_EQ(folder.Get("w.scptmp").has_value(), c.message.empty()) << "a copy, or none";
    EXPECT_TRUE(!*c.backup || folder.Get(c.backup) == kText);
  }
}

#else
// A server that keeps its save open without sharing its deletion keeps Windows from
// replacing it: after the retries the pass fails, the save keeps its old text and the new one
// is kept beside it, as the message says.
TEST(ReplaceTest, ASaveHeldOpenByAnotherProgramIsLeftAndTheNewTextIsKeptBesideIt) {
  TempDir dir;
  const std::string save = dir.Path("sph\xC3\xA8reworld.scp");
  WriteFile(save, kOld + "A=1\r\n");
  HANDLE server =
      CreateFileW(Native(save).c_str(), GENERIC_READ | GENERIC_WRITE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(server, INVALID_HANDLE_VALUE);
  PathHarness h;
  const PassResult result = h.passes.Remove(save);
  CloseHandle(server);
  EXPECT_EQ(result.outcome, PassOutcome::kFailed);
  EXPECT_EQ(ReadFile(save), kOld + "A=1\r\n");
  ASSERT_TRUE(result.keptPath.starts_with(save + ".new-")) << result.keptPath;
  EXPECT_EQ(ReadFile(result.keptPath), CrLf({"[SECTOR 1,1]", "A=1"}));
  ASSERT_TRUE(result.failure);
  EXPECT_EQ(result.failure->step, PassFailure::Step::kReplace);
  EXPECT_NE(PassMessage(result).find("Its new text is in " + result.keptPath + "."),
            std::string::npos);
}
#endif

}  // namespace
}  // namespace duskmend::test
