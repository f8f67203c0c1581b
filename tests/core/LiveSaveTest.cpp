// A save that another program changes while a pass reads it is never replaced; a second
// Duskmend on the same save is refused; a disk without room refuses before writing.
#include <gtest/gtest.h>
#include <cstdlib>
#include <filesystem>
#include <utility>

#include "TestSupport.h"

namespace duskmend::test {
namespace {

namespace fs = std::filesystem;

// `sectors` sectors, each with a light entry (none: the remove pass's new text).
std::string Save(int sectors, const std::string& rain = "5", bool entries = true) {
  std::string text;
  for (int i = 0; i < sectors; ++i) {
    text += "[SECTOR " + std::to_string(i) + ",1]\r\n" + (entries ? "LOCALLIGHT=9\r\n" : "") +
            "RAINCHANCE=" + rain + "\r\n";
  }
  return text;
}

const std::string kChanged =
    " by another program while Duskmend read it.\n"
    "Is the server still running? Stop it and start again.\n"
    "The worldsave was not changed.";

void Shell(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }

// Whatever another program does to the save during the pass, up to the moment of the switch,
// it finds the save as it left it, and the pass fails saying why; what it writes during the
// switch is kept where the pass says; a pass that cannot watch the save refuses.
TEST(LiveSaveTest, ASaveChangedDuringThePassIsLeftAsTheOtherWriterLeftIt) {
  using Step = PassFailure::Step;
  const auto old = fs::file_time_type::clock::now() - std::chrono::hours(24);
  const std::string kNew = "(the pass's new text)";
  const std::string kNone = "(nothing)";
  const char* append = "printf 'A=1\\r\\n' >> \"$S\"";
  const char* renameOver = "printf 'B=2\\r\\n' > \"$S.new\" && mv \"$S.new\" \"$S\"";
  // The same size and its old modification time put back: only the change time tells.
  const char* timeBack =
      "cp -p \"$S\" \"$S.x\" && sed s/RAINCHANCE=5/RAINCHANCE=6/ \"$S.x\" > \"$S\" && "
      "touch -r \"$S.x\" \"$S\"";
  struct Case {
    const char* name;
    const char* command;         // $S is the save
    std::string after;           // the save's text afterwards
    const char* when;            // the call just before which it acts; "yield": the first yield
    const char* then = nullptr;  // what it does just before the switch is taken back
    Step step = Step::kWorldChanged;
    std::string temp = "(nothing)";  // what the temp path holds afterwards
    std::errc watch = {};            // why the system gives the pass no watch
    bool exchanges = true;           // whether the file system swaps two names
    const char* backup = nullptr;    // "linked" or "copied": the old save is kept there
  } cases[] = {
      {"appended", append, Save(400) + "A=1\r\n", "yield"},
      {"appended at the switch", append, Save(400) + "A=1\r\n", "Exchange"},
      {"renamed over", renameOver, "B=2\r\n", "yield"},
      {"renamed over at the switch", renameOver, "B=2\r\n", "Exchange"},
      {"cut short in place", "printf 'C=3\\r\\n' > \"$S\"", "C=3\r\n", "yield"},
      {"rewritten in place at the switch",
       "sed s/RAINCHANCE=5/RAINCHANCE=6/ \"$S\" > \"$S.x\" && cat \"$S.x\" > \"$S\"",
       Save(400, "6"), "Exchange"},
      {"rewritten, its time put back", timeBack, Save(400, "6"), "yield"},
      {"rewritten, its time put back, at the switch", timeBack, Save(400, "6"), "Exchange"},
      // On a system without watches, another file of the same size and time renamed over it:
      // only the file id tells.
      {"a same-size copy with its time, renamed over at the switch, unwatched",
       "sed s/RAINCHANCE=5/RAINCHANCE=6/ \"$S\" > \"$S.x\" && touch -r \"$S\" \"$S.x\" && "
       "mv \"$S.x\" \"$S\"",
       Save(400, "6"), "Exchange", nullptr, Step::kWorldChanged, kNone, std::errc::not_supported},
      {"removed", "rm \"$S\"", kNone, "yield"},
      {"removed at the switch", "rm \"$S\"", kNone, "Exchange"},
      // While the switch is taken back, the save's name holds the new text for a moment.
      {"appended at the switch, and to the new text before it is taken back", append,
       Save(400) + "A=1\r\n", "Exchange", "printf 'B=2\\r\\n' >> \"$S\"", Step::kWrittenIntoNew,
       kNew + "B=2\r\n"},
      {"appended at the switch, and renamed over before it is taken back", append,
       Save(400) + "A=1\r\n", "Exchange", renameOver, Step::kWrittenIntoNew, "B=2\r\n"},
      {"appended at the switch, and removed before it is taken back", append, kNone, "Exchange",
       "rm \"$S\"", Step::kWorldRemovedAtSwitch, Save(400) + "A=1\r\n"},
      // Where two names cannot swap, a rename replaces the save.
      {"appended before the rename", append, Save(400) + "A=1\r\n", "Changed", nullptr,
       Step::kWorldChanged, kNone, std::errc(), false},
      {"appended as the rename comes", append, kNew, "Rename", nullptr, Step::kWrittenAtSwitch,
       Save(400) + "A=1\r\n", std::errc(), false},
      {"rewritten, its time put back, as the rename comes", timeBack, kNew, "Rename", nullptr,
       Step::kWrittenAtSwitch, Save(400, "6"), std::errc(), false},
      // A file renamed over the save in that moment is lost; the pass must not say done.
      {"renamed over as the rename comes", renameOver, kNew, "Rename", nullptr,
       Step::kWorldReplacedAtSwitch, Save(400), std::errc(), false},
      // A backup stays wherever the save it was made of is no longer in its place.
      {.name = "removed, with a linked backup",
       .command = "rm \"$S\"",
       .after = kNone,
       .when = "yield",
       .backup = "linked"},
      {.name = "renamed over at the switch, with a copied backup",
       .command = renameOver,
       .after = "B=2\r\n",
       .when = "Exchange",
       .backup = "copied"},
      {.name = "removed before the watch, with a linked backup",
       .command = "rm \"$S\"",
       .after = kNone,
       .when = "Watch",
       .backup = "linked"},
      // A system that has watches but gives none now (inotify's limits reached).
      {"rewritten, its time put back, with no watch to be had", timeBack, Save(400, "6"), "Watch",
       nullptr, Step::kWorldChanged, kNone, std::errc::too_many_files_open},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string save = dir.Path("sphereworld.scp");
    WriteFile(save, Save(400));
    fs::last_write_time(save, old);  // a write now shows in any clock's grain
    ForwardingFileSystem hooked;
    // The other program acts once, just before the first call named `when`, and once more
    // before the second switch.
    hooked.fault = [&, acted = false, exchanges = 0](const std::string& call) mutable {
      if (call == "Exchange" && ++exchanges == 2 && c.then) Shell("S='" + save + "'; " + c.then);
      if (call == c.when && !std::exchange(acted, true)) Shell("S='" + save + "'; " + c.command);
      if (call == "Watch" && c.watch != std::errc{}) return std::make_error_code(c.watch);
      if (call == "Exchange" && !c.exchanges) return make_error_code(std::errc::not_supported);
      if (call == "Link" && c.backup == std::string("copied")) {
        return make_error_code(std::errc::cross_device_link);
      }
      return std::error_code{};
    };
    PathHarness h(hooked);
    h.recorder.onYield = [&] { hooked.fault("yield"); };
    const std::string backup = c.backup ? dir.Path("backup.scp") : "";
    const PassResult result = h.passes.Remove(save, backup);
    const std::string message = PassMessage(result);
    const std::string saveNow = Exists(save) ? ReadFile(save) : kNone;
    const std::string tempNow = Exists(save + "tmp") ? ReadFile(save + "tmp") : kNone;
    const auto expected = [&](const std::string& text) {
      return text.starts_with(kNew) ? Save(400, "5", false) + text.substr(kNew.size()) : text;
    };
    EXPECT_EQ(saveNow, expected(c.after));
    EXPECT_EQ(tempNow, expected(c.temp));
    if (c.watch == std::errc::too_many_files_open) {
      EXPECT_EQ(result.outcome, PassOutcome::kRefused);
      EXPECT_NE(message.find("fs.inotify.max_user_instances"), std::string::npos) << message;
      continue;
    }
    EXPECT_EQ(result.outcome, PassOutcome::kFailed);
    ASSERT_TRUE(result.failure);
    EXPECT_EQ(result.failure->step, c.step);
    if (c.backup) {
      EXPECT_EQ(ReadFile(backup), Save(400));
      EXPECT_TRUE(message.ends_with("\nThe backup " + backup + " holds the old save.")) << message;
    } else if (c.step == Step::kWorldChanged) {
      EXPECT_EQ(message, "The worldsave " + save +
                             (c.after == kNone ? " was removed" : " was changed") + kChanged);
    } else {
      EXPECT_NE(message.find("is in " + save + "tmp"), std::string::npos) << message;
    }
  }
}

// A linked save is replaced at its target, beside which its temp file stands, and the link
// stays; a link switched to another save during the pass does not move the pass. Backups made
// with hard links keep their text: of the save, and of the last temp file.
TEST(LiveSaveTest, ALinkedSaveIsReplacedAtItsTargetAndHardLinkedBackupsKeepTheirText) {
  TempDir dir;
  fs::create_directory(dir.Path("real"));
  const std::string target = dir.Path("real/a.scp");
  WriteFile(target, Save(400));
  WriteFile(target + "tmp", "the last pass's copy\r\n");
  fs::create_hard_link(target, dir.Path("backup.scp"));
  fs::create_hard_link(target + "tmp", dir.Path("backup.scptmp"));
  WriteFile(dir.Path("b.scp"), Save(400));
  const std::string link = dir.Path("sphereworld.scp");
  fs::create_symlink(target, link);
  Harness h;
  h.Load(link);
  h.recorder.onYield = [&] { Shell("ln -sfn '" + dir.Path("b.scp") + "' '" + link + "'"); };
  ASSERT_EQ(h.runner.RemovePass(), PassOutcome::kDone);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadFile(target), Save(400, "5", false));
  EXPECT_EQ(ReadFile(target + "tmp"), ReadFile(target)) << "the temp file stands beside it";
  EXPECT_EQ(ReadFile(dir.Path("b.scp")), Save(400));
  EXPECT_FALSE(Exists(link + "tmp"));
  EXPECT_EQ(ReadFile(dir.Path("backup.scp")), Save(400));
  EXPECT_EQ(ReadFile(dir.Path("backup.scptmp")), "the last pass's copy\r\n");
  // A hard link of the save at the temp path is the save, not an earlier run's temp file.
  fs::remove(target + "tmp");
  fs::create_hard_link(target, target + "tmp");
  const std::string text = ReadFile(target);
  PathHarness second;
  const PassResult refused = second.passes.Remove(target);
  EXPECT_EQ(refused.outcome, PassOutcome::kRefused);
  EXPECT_EQ(PassMessage(refused), "The temporary file " + target +
                                      "tmp is another name of the worldsave " + target +
                                      " (a hard link).\nRemove or rename it, then try again.\n"
                                      "Nothing was changed.");
  EXPECT_EQ(ReadFile(target + "tmp"), text);
  EXPECT_EQ(fs::hard_link_count(target), 2u);
}

// The save stays locked from the first look until the copy is made: a second Duskmend on it,
// by its own name or another (a hard link), is refused with the lock's own message before
// every call and at every yield of the first in that time.
TEST(LiveSaveTest, ASecondDuskmendOnTheSaveOrALinkToItIsRefusedThroughoutTheFirst) {
  TempDir dir;
  const std::string save = dir.Path("sphereworld.scp");
  const std::string link = dir.Path("hardlink.scp");
  for (const std::string& other : {save, link}) {
    SCOPED_TRACE(other);
    WriteFile(save, Save(400));
    fs::remove(link);
    fs::create_hard_link(save, link);
    int tries = 0;
    bool locked = false, copied = false;  // from the call after the lock to the copy's closing
    ForwardingFileSystem calls;
    calls.fault = [&](const std::string& call) {
      if (locked) {
        ++tries;
        PathHarness second;
        EXPECT_EQ(PassMessage(second.passes.Remove(other)),
                  "Another Duskmend is working on " + other +
                      ".\nWait until it is done.\nNothing was changed.")
            << "before " << call;
      }
      locked = (locked || call == "Lock") && !(copied && call == "Close");
      copied = copied || call == "Copy";
      return std::error_code{};
    };
    PathHarness first(calls);
    first.recorder.onYield = [&] { calls.fault("yield"); };
    ASSERT_EQ(first.passes.Remove(save).outcome, PassOutcome::kDone);
    EXPECT_GE(tries, 10);
    EXPECT_EQ(ReadFile(save), ReadFile(save + "tmp"));
    EXPECT_EQ(ReadFile(link), Save(400)) << "the other name keeps the old text";
  }
  PathHarness later;  // the lock went with the first pass
  EXPECT_EQ(later.passes.Change(save, "1").outcome, PassOutcome::kDone);
}

}  // namespace
}  // namespace duskmend::test
