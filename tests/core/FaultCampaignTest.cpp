// Every file-system call of every pass, on the machine's own file system: failed in turn,
// once and for good; followed by a kill or a power cut; preceded by another program at work on
// the save. No run may lose a text or report a failure as success.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "CopyToNewFile.h"
#include "FaultyFileSystem.h"
#include "LineReader.h"
#include "TestSupport.h"

namespace duskmend::test {
namespace {

const std::string kSave = "sphereworld.scp";
const std::string kTemp = kSave + "tmp";
enum class Pass { kAnalysis, kList, kRemove, kChange, kRemoveWithBackup };
bool Writes(Pass pass) { return pass != Pass::kAnalysis && pass != Pass::kList; }
const std::string kBackup = "backup.scp";

#if defined(_WIN32)
constexpr bool kSwapsAndWatches = false;  // the system can swap two names and watch a file
#else
constexpr bool kSwapsAndWatches = true;
#endif

// The folders to run `pass` in: one that links files (and swaps two names where the system
// can), and one that does neither, where a backup is a copy. Where the system swaps no names,
// the two differ for a backup alone; the list reads as the analysis does, which is enough there
// (under wine, where each call takes long).
std::vector<bool> Folders(Pass pass) {
  if (!kSwapsAndWatches && pass == Pass::kList) return {};
  if (!kSwapsAndWatches && pass != Pass::kRemoveWithBackup) return {false};
  return {true, false};
}

std::string OldText() {
  std::string text = "// a save with every kind of line that the passes tell apart\r\n";
  for (int i = 0; i < 40; ++i) {
    text += "[SECTOR " + std::to_string(i) + ",1]\r\nLOCALLIGHT=" + std::to_string(i) + "\r\n";
    text += i % 3 == 0 ? "RAINCHANCE=5\r\n\r\n" : i % 3 == 1 ? "\n[WORLDITEM i_gold]\n" : "";
    text += "SERIAL=0" + std::to_string(40000 + i) + "\rP=1,2,3\r\n";
  }
  return text + "[SECTOR 99,99]";
}
const std::string kOldText = OldText();

std::error_code ErrorFor(const std::string& call) {
  if (call == "Write" || call == "Copy") return std::make_error_code(std::errc::no_space_on_device);
  if (call == "Open" || call == "Remove") return std::make_error_code(std::errc::permission_denied);
  if (call == "Rename") return std::make_error_code(std::errc::cross_device_link);
  if (call == "CopyPermissions" || call == "MayReplace") {
    return std::make_error_code(std::errc::operation_not_permitted);
  }
  return std::make_error_code(std::errc::io_error);
}

// How long a planned fault lasts: one call, every later call of its kind, or one call and
// every later removal or move (so that what it left can be neither cleared nor moved away).
enum class Lasting { kOnce, kOn, kThenNoRemove };

// Fails call `k` (counted over all calls from 1), and more as `lasting` says. A failing write
// is a short one: half of its bytes reach the file. With `shortReads` every read gives half of
// what it asks for, as a system may.
class PlannedFaults : public ForwardingFileSystem {
 public:
  PlannedFaults(FileSystem& inner, int k, Lasting lasting, bool shortReads = false)
      : ForwardingFileSystem(inner),
        inner_(inner),
        k_(k),
        lasting_(lasting),
        shortReads_(shortReads) {
    fault = [this](const std::string& call) {
      if (++counted_ == k_) failing_ = call;
      const bool later = counted_ > k_ && k_ > 0;
      const bool fails =
          counted_ == k_ || (later && lasting_ == Lasting::kOn && call == failing_) ||
          (later && lasting_ == Lasting::kThenNoRemove && (call == "Remove" || call == "Move"));
      return fails ? ErrorFor(call) : std::error_code{};
    };
  }

  std::error_code Write(FileHandle file, const char* data, std::size_t size) override {
    std::error_code error = ForwardingFileSystem::Write(file, data, size);
    if (error) inner_.Write(file, data, size / 2);
    return error;
  }
  std::error_code Read(FileHandle file, char* buffer, std::size_t size, std::size_t& got) override {
    return ForwardingFileSystem::Read(file, buffer, shortReads_ ? (size + 1) / 2 : size, got);
  }
  int Counted() const { return counted_; }
  const std::string& Failing() const { return failing_; }  // the call that failed

 private:
  FileSystem& inner_;
  int k_;
  Lasting lasting_;
  bool shortReads_;
  int counted_ = 0;
  std::string failing_;
};

// The files and watches that this process holds open, on Linux (under wine the list is wine's).
std::ptrdiff_t OpenFiles() {
#if defined(_WIN32)
  return 0;
#else
  std::error_code none;
  return std::distance(std::filesystem::directory_iterator("/proc/self/fd", none), {});
#endif
}

// Runs job(0) to job(count - 1) on many threads: a run's time goes mostly to waiting for the
// system (closing a watch waits for the kernel's grace period), not to work. The runs leave
// nothing open.
void InParallel(int count, const std::function<void(int)>& job) {
  const std::ptrdiff_t open = OpenFiles();
  {
    std::atomic<int> next{0};
    std::vector<std::jthread> threads(16);  // each joined as it goes
    for (std::jthread& thread : threads) {
      thread = std::jthread([&] {
        for (int i; (i = next++) < count;)
          job(i);
      });
    }
  }
  EXPECT_EQ(OpenFiles(), open) << "files or watches left open";
}

// Runs `pass` on the save in `folder`, through `fs` (the folder itself, or a layer above it).
PassResult RunPass(FileSystem& fs, const FaultyFileSystem& folder, Pass pass,
                   std::size_t readSize = 64, PathHarness* harness = nullptr) {
  PathHarness own(fs, {.read = readSize});
  PathHarness& h = harness ? *harness : own;
  const std::string save = folder.Path(kSave);
  return pass == Pass::kAnalysis           ? h.passes.Analysis(save)
         : pass == Pass::kList             ? h.passes.List(save, [](const LightEntry&) {})
         : pass == Pass::kRemove           ? h.passes.Remove(save)
         : pass == Pass::kRemoveWithBackup ? h.passes.Remove(save, {.backup = folder.Path(kBackup)})
                                           : h.passes.Change(save, "5");
}

// The save's text after a clean run of `pass` on `old`.
std::string NewText(Pass pass, const std::string& old) {
  static std::map<std::pair<Pass, std::string>, std::string> known;
  static std::mutex mutex;
  const std::lock_guard lock(mutex);
  auto [text, added] = known.try_emplace({pass, old});
  if (added) {
    FaultyFileSystem clean(true, {{kSave, old}});
    EXPECT_EQ(RunPass(clean, clean, pass).outcome, PassOutcome::kDone);
    text->second = *clean.Get(kSave);
  }
  return text->second;
}

// The name in the folder of the file that holds what a run kept.
std::string Kept(const PassResult& run) {
  return run.keptPath.empty() ? kTemp : Utf8(Native(run.keptPath).filename());
}

// Nothing stays but the save, its temp file, the backup, the backup's temp file and the texts
// kept beside the save, none of them open to more users than the save.
void ExpectOnlyKnownFiles(const FaultyFileSystem& folder) {
  namespace fs = std::filesystem;
  const auto save = fs::status(Native(folder.Path(kSave))).permissions();
  for (const auto& [file, bytes] : folder.Files()) {
    EXPECT_TRUE(file.starts_with(kSave) || file.starts_with(kBackup)) << file;
    EXPECT_EQ(fs::status(Native(folder.Path(file))).permissions() & ~save, fs::perms::none) << file;
  }
}

// The operator's next moves after a run that did not end done, on a copy of what it `left`:
// the same pass, the other rewriting pass through the window, and an analysis. Each is done, or
// refused saying what stands in its way; none removes or changes a file that holds text and
// that the run's message names; and a run that said that nothing, or the worldsave, was not
// changed left every file of the folder as it found it (`before`).
void ExpectTheNextMovesLoseNothing(const FaultyFileSystem& left, bool exchanges,
                                   const PassResult& run, Pass pass,
                                   const std::map<std::string, std::string>& before = {
                                       {kSave, kOldText}}) {
  const std::string message = PassMessage(run);
  const bool unchanged = message.ends_with("Nothing was changed.") ||
                         message.find("The worldsave was not changed.") != std::string::npos;
  std::map<std::string, std::string> told;
  for (const auto& [file, bytes] : left.Files()) {
    const bool named = message.find(left.Path(file)) != std::string::npos;
    if (file != kSave && !bytes.empty() && named) told[file] = bytes;
    // Only a file that it names, or a temp file that it could only empty, is new.
    EXPECT_TRUE(!unchanged || before.count(file) || named ||
                ((file == kTemp || file == kBackup + "tmp") && bytes.empty()))
        << file << " after: " << message;
  }
  for (const auto& [file, bytes] : before)
    EXPECT_TRUE(!unchanged || left.Get(file) == bytes) << file << " after: " << message;
  FaultyFileSystem folder(exchanges, left.Files(), left.Marks());
  EXPECT_TRUE(run.keptPath.empty() || told.count(Kept(run))) << message;
  // Refused only by a file at the temp path that it cannot tell as a part of its own.
  const auto proceeds = [&](PassOutcome outcome, const std::string& said) {
    EXPECT_TRUE(outcome == PassOutcome::kDone ||
                (outcome == PassOutcome::kRefused &&
                 said.starts_with("Duskmend writes its temporary file at " + folder.Path(kTemp))))
        << said << "\nafter: " << message;
  };
  const PassResult same =
      RunPass(folder, folder, pass == Pass::kRemoveWithBackup ? Pass::kRemove : pass);
  proceeds(same.outcome, PassMessage(same));
  Harness window(folder);
  window.recorder.keepsAlive = false;
  window.dialogs.answer = "5";
  window.Load(folder.Path(kSave));
  const PassOutcome other =
      pass == Pass::kChange ? window.runner.RemovePass() : window.runner.ChangePass();
  proceeds(other, window.dialogs.messages.empty() ? "" : window.dialogs.messages.back());
  proceeds(RunPass(folder, folder, Pass::kAnalysis).outcome, "");
  for (const auto& [file, bytes] : told)
    EXPECT_EQ(folder.Get(file), bytes) << file << ", named in: " << message;
}

const std::pair<const char*, Pass> kPasses[] = {{"analysis", Pass::kAnalysis},
                                                {"list", Pass::kList},
                                                {"remove", Pass::kRemove},
                                                {"change", Pass::kChange},
                                                {"remove with a backup", Pass::kRemoveWithBackup}};

// Both ways of the switch: the swap of the two names, and the rename where there is none.
TEST(FaultCampaignTest, EveryRunEndsWithTheOldSaveReportedOrTheNewOneInPlace) {
  // A value that cannot be written is refused before any file call.
  for (const char* value : {"", "5\n", "\xE2\x82\xAC"}) {
    FaultyFileSystem folder(true, {{kSave, kOldText}});
    PathHarness h(folder);
    EXPECT_EQ(h.passes.Change(folder.Path(kSave), value).outcome, PassOutcome::kRefused);
    EXPECT_TRUE(folder.calls.empty()) << value;
  }
  std::atomic<int> injected = 0;
  for (const auto& [name, pass] : kPasses) {
    for (bool exchanges : Folders(pass)) {
      FaultyFileSystem clean(exchanges, {{kSave, kOldText}});
      PlannedFaults counting(clean, 0, Lasting::kOnce);
      ASSERT_EQ(RunPass(counting, clean, pass).outcome, PassOutcome::kDone);
      const std::string expected = *clean.Get(kSave);
      InParallel(3 * counting.Counted(), [&, name = name, pass = pass](int i) {
        const int k = i / 3 + 1;
        const Lasting lasting = Lasting(i % 3);
        SCOPED_TRACE(std::string(name) + (exchanges ? "" : " by rename") + ", call " +
                     std::to_string(k) + ", lasting " + std::to_string(int(lasting)));
        // A save that an earlier Duskmend wrote carries the mark of the temp file it was.
        FaultyFileSystem folder(exchanges, {{kSave, kOldText}}, {{kSave, kTemp}});
        PlannedFaults faults(folder, k, lasting, k % 2 == 0);
        const PassResult run = RunPass(faults, folder, pass);
        const std::string message = PassMessage(run);
        ASSERT_FALSE(faults.Failing().empty());
        ++injected;
        ExpectOnlyKnownFiles(folder);
        if (!message.empty()) ExpectTheNextMovesLoseNothing(folder, exchanges, run, pass);
        const std::optional<std::string> save = folder.Get(kSave), temp = folder.Get(kTemp);
        // A backup is whole or absent, stays wherever the new text took the save's place,
        // and wherever else it stays, the message says where it is.
        if (pass == Pass::kRemoveWithBackup) {
          const std::optional<std::string> backup = folder.Get(kBackup);
          EXPECT_TRUE(!backup || backup == kOldText);
          EXPECT_TRUE(backup || save == kOldText);
          EXPECT_EQ(run.backupKept, backup.has_value());
          EXPECT_TRUE(!backup || run.outcome == PassOutcome::kDone ||
                      message.find("\nThe backup " + folder.Path(kBackup) +
                                   " holds the old save.") != std::string::npos)
              << message;
        }
        if (run.outcome == PassOutcome::kDone) {
          EXPECT_EQ(save, expected);
          // A read that fails is never taken for the end of the save: the counts are whole.
          EXPECT_EQ(run.counts.lights, 40u);
          EXPECT_EQ(run.counts.sectors, 41u);
          EXPECT_TRUE(pass != Pass::kList || run.changed == 40u) << "every entry listed";
          // What failed after the switch is said: the folder's sync, the copy at the temp
          // path (not left half; the old save may still stand there, whole, as it says).
          EXPECT_EQ(message.empty(), !run.copyBackError && !run.folderSyncError) << message;
          if (!run.copyBackError) {
            if (Writes(pass)) {
              EXPECT_EQ(temp, expected);
            }
            return;
          }
          EXPECT_TRUE(run.oldAtTemp ? folder.Get(Kept(run)) == kOldText : !temp || temp == "");
          return;
        }
        if (run.outcome == PassOutcome::kRefused) {
          // A check before the pass could not be made: said, and nothing written.
          EXPECT_TRUE(message.ends_with("\nNothing was changed.")) << message;
          if (faults.Failing() == "Watch") {
            EXPECT_NE(message.find("Cannot watch the worldsave"), std::string::npos);
          }
          EXPECT_EQ(save, kOldText);
          EXPECT_TRUE(!temp || temp == "");
          return;
        }
        ASSERT_EQ(run.outcome, PassOutcome::kFailed);
        ASSERT_TRUE(run.failure);
        if (run.failure->step == PassFailure::Step::kWrittenAtSwitch) {
          // A rename replaced the save, and whether another program wrote to it just before
          // could not be told: its old text is kept.
          EXPECT_TRUE(run.failure->error);
          EXPECT_EQ(save, expected);
          EXPECT_EQ(folder.Get(Kept(run)), kOldText);
          return;
        }
        EXPECT_EQ(save, kOldText) << "the save keeps its old text";
        EXPECT_EQ(run.worldsave, SaveText::kOld) << "as the window and the CLI say";
        // The failure names its step; only a failed replace leaves the new text, kept beside
        // the save where it can be moved from the temp path (else waiting there), and said;
        // any other temp file that could not be removed is emptied instead.
        using Step = PassFailure::Step;
        const Step step = run.failure->step;
        const bool replace = step == Step::kReplace;
        EXPECT_TRUE(replace || step == Step::kReadWorld || step == Step::kWriteTemp ||
                    step == Step::kWriteBackup)
            << message;
        const bool noRemove = faults.Failing() == "Remove" || lasting == Lasting::kThenNoRemove;
        EXPECT_TRUE(!replace || folder.Get(Kept(run)) == expected);
        for (const std::string& file : {kTemp, kBackup + "tmp"}) {
          const std::optional<std::string> left = folder.Get(file);
          EXPECT_TRUE((replace && file == Kept(run)) || !left || (left == "" && noRemove)) << file;
        }
      });
    }
  }
  std::cout << "fault campaign: " << injected << " faults injected, none lost the save\n";
}

// A kill (every file as it stands) or a power cut (only what was synced) after any call of a
// rewriting pass leaves the old or the new save, and a copied backup whole or absent; the next
// run completes (once the backup that a crash left is moved away); on a save of more than one
// copy-back piece too.
TEST(FaultCampaignTest, AKillOrPowerCutAfterAnyCallLeavesTheOldOrTheNewSave) {
  int cuts = 0;
  std::string large = kOldText;
  while (large.size() <= kCopyPiece)
    large += kOldText;
  for (const auto& named : kPasses) {
    const char* name = named.first;  // clang 14 lets no lambda take a structured binding
    const Pass pass = named.second;
    for (bool exchanges : Folders(pass)) {
      for (const std::string* old : {&kOldText, const_cast<const std::string*>(&large)}) {
        const bool backup = pass == Pass::kRemoveWithBackup;
        if (old == &large && (pass != Pass::kRemove || exchanges != Folders(pass).front()))
          continue;
        SCOPED_TRACE(std::string(name) + (exchanges ? "" : " by rename") +
                     (old == &large ? ", large" : ""));
        const std::size_t readSize = old == &large ? LineReader::kDefaultReadSize : 64;
        const std::string expected = NewText(pass, *old);
        // Each state that a crash can leave (the files, and the marks they carry), with the
        // first call after which it could.
        using Files = std::map<std::string, std::string>;
        std::map<std::pair<Files, Files>, std::string> states;
        FaultyFileSystem folder(exchanges, {{kSave, *old}});
        folder.afterCall = [&](const std::string& call) {
          states.try_emplace({folder.Files(), folder.Marks()}, "a kill after " + call);
          states.try_emplace({folder.AfterPowerCut(), folder.Marks(true)},
                             "a power cut after " + call);
          states.try_emplace({folder.AfterPowerCut(true), folder.Marks()},
                             "a power cut that kept the names after " + call);
        };
        ASSERT_EQ(RunPass(folder, folder, pass, readSize).outcome, PassOutcome::kDone);
        EXPECT_EQ(folder.AfterPowerCut().at(kSave), expected) << "the new save is durable";
        // The next run on what a crash left must find the old or the new save, and remove
        // only what a Duskmend left.
        const std::vector crashes(states.begin(), states.end());
        cuts += static_cast<int>(crashes.size());
        InParallel(static_cast<int>(crashes.size()), [&, backup = backup](int i) {
          auto files = crashes[i].first.first;
          SCOPED_TRACE(crashes[i].second);
          auto save = files.find(kSave);
          ASSERT_NE(save, files.end()) << "the save is gone";
          ASSERT_TRUE(save->second == *old || save->second == expected)
              << "a save of " << save->second.size() << " bytes";
          ASSERT_TRUE(!files.count(kBackup) || files[kBackup] == *old) << "a part of a backup";
          files.erase(kBackup);
          FaultyFileSystem next(exchanges, files, crashes[i].first.second);
          const PassResult run = RunPass(next, next, pass, readSize);
          // On Windows a write takes the mark away: a part that a kill left mid-write is named.
          if (!kMarksOutlastWrites && run.refusal && run.refusal->detail == next.Path(kTemp))
            return;
          ASSERT_EQ(run.outcome, PassOutcome::kDone);
          EXPECT_EQ(next.Get(kSave), expected);
          // A save that holds the new text already is left as it is, and its folder too.
          const bool untouched = !Writes(pass) || save->second == expected;
          EXPECT_EQ(next.Files().size(), (untouched ? files.size() : 2) + backup);
        });
      }
    }
  }
  std::cout << "crash campaign: " << cuts
            << " states after a kill or power cut, none lost the save\n";
}

// A stop asked for at any yield of a rewriting pass (the window's Exit, a signal to the command
// line) leaves the old save before the switch and the new one from it on, a backup whole or
// absent, and no temp file but the one that the switch leaves.
TEST(FaultCampaignTest, AStopAtAnyYieldLeavesTheOldOrTheNewSave) {
  for (const auto& [name, pass] : kPasses) {
    for (bool exchanges : Folders(pass)) {
      if (!Writes(pass)) continue;
      const std::string expected = NewText(pass, kOldText);
      FaultyFileSystem clean(exchanges, {{kSave, kOldText}});
      PathHarness counting(clean, {.read = 64});
      int yields = 0;
      counting.recorder.onYield = [&] { ++yields; };
      ASSERT_EQ(RunPass(clean, clean, pass, 64, &counting).outcome, PassOutcome::kDone);
      InParallel(yields, [&, name = name, pass = pass](int i) {
        SCOPED_TRACE(std::string(name) + (exchanges ? "" : " by rename") + ", yield " +
                     std::to_string(i + 1));
        FaultyFileSystem folder(exchanges, {{kSave, kOldText}});
        PathHarness h(folder, {.read = 64});
        int yield = 0;
        h.recorder.onYield = [&] {
          if (yield++ == i) h.stop = true;
        };
        const PassResult run = RunPass(folder, folder, pass, 64, &h);
        EXPECT_EQ(run.outcome, PassOutcome::kStopped);
        EXPECT_EQ(folder.Get(kSave), run.replaced ? expected : kOldText);
        EXPECT_EQ(folder.Get(kTemp), run.replaced ? std::optional(expected) : std::nullopt);
        const std::optional<std::string> backup = folder.Get(kBackup);
        EXPECT_TRUE(!backup || backup == kOldText);
        EXPECT_EQ(run.backupKept, backup.has_value());
        EXPECT_EQ(PassMessage(run).ends_with("\nThe backup " + folder.Path(kBackup) +
                                             " holds the old save."),
                  backup && !run.replaced);
        EXPECT_EQ(folder.Files().size(), 1 + run.replaced + backup.has_value());
      });
    }
  }
}

// The text with its first byte changed.
std::string Toggled(std::string text) {
  if (!text.empty()) text[0] = text[0] == '/' ? '#' : '/';
  return text;
}

// Another program at work on the save just before any call of a rewriting pass, and once more
// before the next swap of names (a server keeps at it): one that writes it, renames its new save
// over it or removes it; an editor that puts the old modification time back; a second Duskmend.
// What it made is never lost: the save holds it (or the pass's new text of it), or the message
// names the temp path that does; a pass that read the save before another program changed it
// is never done; a second Duskmend is refused while the first holds the save.
TEST(FaultCampaignTest, AnotherProgramAtWorkOnTheSaveLosesNothing) {
  namespace fs = std::filesystem;
  const std::string kLocked = "Another Duskmend is working on ";
  struct Other {
    const char* name;
    bool inPlace;  // it writes the save's own file, not another at its name
    // What it says, if anything; a removal says "removed" (Windows keeps a file that is open
    // until it is closed).
    std::function<std::string(const std::string& save)> act;
  };
  const Other others[] = {
      {"appends", true,
       [](const std::string& save) {
         std::ofstream(Native(save), std::ios::binary | std::ios::app) << "A=1\r\n";
         return "";
       }},
      {"renames over it a copy with one byte changed, of the same size and time", false,
       [](const std::string& save) {
         std::error_code error;  // Windows renames over no open file
         if (!Exists(save)) return "";
         WriteFile(save + ".new", Toggled(ReadFile(save)));
         fs::last_write_time(Native(save + ".new"), fs::last_write_time(Native(save)));
         fs::rename(Native(save + ".new"), Native(save), error);
         fs::remove(Native(save + ".new"), error);
         return "";
       }},
      {"removes it", false,
       [](const std::string& save) {
         std::error_code error;
         return fs::remove(Native(save), error) ? "removed" : "";
       }},
      {"rewrites it in place, its time put back", true,
       [](const std::string& save) {
         std::error_code error;
         const auto time = fs::last_write_time(Native(save), error);
         if (error) return "";
         WriteFile(save, Toggled(ReadFile(save)));
         fs::last_write_time(Native(save), time, error);
         return "";
       }},
      {"runs a second Duskmend", false,
       [](const std::string& save) {
         PathHarness second;
         return PassMessage(second.passes.Remove(save));
       }},
  };
  const auto old = fs::file_time_type::clock::now() - std::chrono::hours(24);
  const std::size_t kLiveReadSize = 1024;  // another program between two reads is one case
  std::atomic<int> runs = 0;
  for (const auto& [name, pass] : kPasses) {
    for (bool exchanges : Folders(pass)) {
      for (bool watched : {kSwapsAndWatches, false}) {
        if (!Writes(pass) || (watched && !kSwapsAndWatches)) continue;
        const bool swaps = exchanges && kSwapsAndWatches;
        const std::string expected = NewText(pass, kOldText);
        // A system without watches (Windows): only a file's identity tells.
        const auto unwatched = [watched](const std::string& call) {
          return !watched && (call == "Watch" || call == "WatchName")
                     ? std::make_error_code(std::errc::not_supported)
                     : std::error_code{};
        };
        FaultyFileSystem clean(exchanges, {{kSave, kOldText}});
        clean.fault = unwatched;
        PlannedFaults counting(clean, 0, Lasting::kOnce);
        ASSERT_EQ(RunPass(counting, clean, pass, kLiveReadSize).outcome, PassOutcome::kDone);
        std::vector<std::string> calls;  // as the fault counts them: advice is not asked
        std::copy_if(counting.calls.begin(), counting.calls.end(), std::back_inserter(calls),
                     [](const std::string& c) { return c != "Forget" && c != "StartWriteBack"; });
        const auto number = [&](auto at) { return static_cast<int>(at - calls.begin()) + 1; };
        const int locked = number(std::find(calls.begin(), calls.end(), "Lock"));
        const int backedUp =
            number(std::find(calls.begin(), calls.end(), exchanges ? "Link" : "Move"));
        const auto switchAt = std::find(calls.begin(), calls.end(), swaps ? "Exchange" : "Rename");
        const int switched = number(switchAt);
        // The new text is whole once its file is synced; the last look at the save comes
        // after that, so nothing but the look itself and the switch follow unseen.
        const int synced =
            number(std::find(std::make_reverse_iterator(switchAt), calls.rend(), "Sync").base()) -
            1;
        const int kOthers = static_cast<int>(std::size(others));
        InParallel(kOthers * static_cast<int>(calls.size()), [&, name = name, pass = pass](int i) {
          const Other& another = others[i % kOthers];
          const char* other = another.name;
          const int k = i / kOthers + 1;
          // Without watches a change between the last look at the save and a rename over it
          // goes unseen: at most a change after the new text's sync. Where the names swap
          // instead, what comes out of the save's place tells a file by its number, size and
          // time: only a write in place that puts the time back goes unseen.
          if (!watched && k > synced + 1 && k <= switched &&
              (!swaps || std::string(other).starts_with("rewrites"))) {
            return;
          }
          SCOPED_TRACE(std::string(name) + (exchanges ? "" : " by rename") +
                       (watched ? "" : ", unwatched") + ", another " + other + " before call " +
                       std::to_string(k));
          FaultyFileSystem folder(exchanges, {{kSave, kOldText}});
          fs::last_write_time(Native(folder.Path(kSave)), old);  // a write shows in any grain
          struct Act {
            std::optional<std::string> before, after;
          };
          std::vector<Act> acts;
          std::map<std::string, std::string> found;
          folder.fault = [&, calls = 0](const std::string& call) mutable {
            if (++calls == k || (watched && acts.size() == 1 && call == "Exchange")) {
              acts.push_back({folder.Get(kSave), std::nullopt});
              const std::string said = another.act(folder.Path(kSave));
              acts.back().after = said == "removed" ? std::nullopt : folder.Get(kSave);
              // What the folder held as the pass went on: up to its lock, all of it was the
              // other program's.
              if (calls <= locked) found = folder.Files();
              found.erase(kSave);
              if (acts.back().after) found[kSave] = *acts.back().after;
              if (std::string(other).ends_with("Duskmend") && k > locked && k <= switched) {
                EXPECT_TRUE(said.starts_with(kLocked)) << said;
              }
            }
            return unwatched(call);
          };
          const PassResult run = RunPass(folder, folder, pass, kLiveReadSize);
          const std::string message = PassMessage(run);
          ++runs;
          ExpectOnlyKnownFiles(folder);
          const std::optional<std::string> save = folder.Get(kSave), temp = folder.Get(kTemp),
                                           backup = folder.Get(kBackup);
          ASSERT_FALSE(acts.empty());
          EXPECT_TRUE(!backup || backup == kOldText || backup == acts[0].after);
          EXPECT_EQ(run.backupKept, backup.has_value());
          EXPECT_TRUE(!backup || run.outcome == PassOutcome::kDone ||
                      message.find("\nThe backup " + folder.Path(kBackup) +
                                   " holds the old save.") != std::string::npos)
              << message;
          const bool done = run.outcome == PassOutcome::kDone;
          // A failure says whether the save's name holds nothing now ("worldsave":"none"); on
          // Windows a removed save that is still open keeps its name until it is closed.
          if (!done && kSwapsAndWatches) {
            EXPECT_EQ(run.worldsave == SaveText::kNone, !save);
          }
          if (!done && save) ExpectTheNextMovesLoseNothing(folder, exchanges, run, pass, found);
          // Once the backup is made, the old text stays at the save or the backup, but where a
          // linked backup was written in place with the save, as one file with it.
          if (pass == Pass::kRemoveWithBackup && (done || k > backedUp) &&
              !(exchanges && another.inPlace)) {
            EXPECT_TRUE(backup || save == kOldText) << message;
          }
          if (std::all_of(acts.begin(), acts.end(),
                          [](const Act& a) { return a.before == a.after; })) {
            EXPECT_TRUE(done) << message;  // it changed nothing (a second Duskmend was refused)
            EXPECT_EQ(save, expected);
            return;
          }
          if (acts[0].before == expected) {  // it came after the switch: what it made stays
            EXPECT_EQ(save, acts.back().after);
            return;
          }
          if (done) {  // it came before the pass read the save, and did nothing more
            ASSERT_EQ(acts.size(), 1u);
            ASSERT_TRUE(acts[0].after);
            EXPECT_EQ(save, NewText(pass, *acts[0].after));
            return;
          }
          if (!save && run.outcome == PassOutcome::kFailed) {  // a refusal says what it found
            EXPECT_TRUE(message.find(" removed") != std::string::npos ||
                        message.find("\nNothing was changed.") != std::string::npos)
                << message;
          }
          // Where names cannot be swapped, a file renamed over the save in the moment of the
          // rename is lost, and the message says so: no system lets that moment be watched.
          if (!swaps && run.failure &&
              run.failure->step == PassFailure::Step::kWorldReplacedAtSwitch) {
            EXPECT_NE(message.find("a file that it put there, if any, is lost"), std::string::npos);
            return;
          }
          for (std::size_t i = 0; i < acts.size(); ++i) {
            const Act& a = acts[i];
            const bool changedOn = i + 1 < acts.size() && acts[i + 1].before == a.after;
            if (a.after && a.after != a.before && !changedOn && save != a.after) {
              EXPECT_EQ(folder.Get(Kept(run)), a.after);
              EXPECT_NE(message.find(folder.Path(Kept(run))), std::string::npos) << message;
            }
          }
        });
      }
    }
  }
  std::cout << "live campaign: " << runs << " runs with another program at work on the save\n";
}

}  // namespace
}  // namespace duskmend::test
