// Every file-system call of every pass, failed in turn, once and for good; and a kill or a
// power cut after every call. No run may lose the save or report a failure as success.
#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <optional>
#include <set>

#include "CopyToNewFile.h"
#include "LineReader.h"
#include "MemoryFileSystem.h"
#include "TestSupport.h"

namespace duskmend::test {
namespace {

const std::string kSave = "sphereworld.scp";
const std::string kTemp = kSave + "tmp";
enum class Pass { kAnalysis, kRemove, kChange, kRemoveWithBackup };
const std::string kBackup = "backup.scp";

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
// every later removal (so that what it left cannot be cleared away).
enum class Lasting { kOnce, kOn, kThenNoRemove };

// Fails call `k` (counted over all calls from 1), and more as `lasting` says. A failing write
// is a short one: half of its bytes reach the file.
class PlannedFaults : public ForwardingFileSystem {
 public:
  PlannedFaults(FileSystem& inner, int k, Lasting lasting)
      : ForwardingFileSystem(inner), inner_(inner), k_(k), lasting_(lasting) {
    fault = [this](const std::string& call) {
      if (++counted_ == k_) failing_ = call;
      const bool later = counted_ > k_ && k_ > 0;
      const bool fails = counted_ == k_ ||
                         (later && lasting_ == Lasting::kOn && call == failing_) ||
                         (later && lasting_ == Lasting::kThenNoRemove && call == "Remove");
      return fails ? ErrorFor(call) : std::error_code{};
    };
  }

  std::error_code Write(FileHandle file, const char* data, std::size_t size) override {
    std::error_code error = ForwardingFileSystem::Write(file, data, size);
    if (error) inner_.Write(file, data, size / 2);
    return error;
  }
  int Counted() const { return counted_; }
  const std::string& Failing() const { return failing_; }  // the call that failed

 private:
  FileSystem& inner_;
  int k_;
  Lasting lasting_;
  int counted_ = 0;
  std::string failing_;
};

PassResult RunPass(FileSystem& fs, Pass pass, std::size_t readSize = 64) {
  PathHarness h(fs, {.read = readSize});
  return pass == Pass::kAnalysis           ? h.passes.Analysis(kSave)
         : pass == Pass::kRemove           ? h.passes.Remove(kSave)
         : pass == Pass::kRemoveWithBackup ? h.passes.Remove(kSave, kBackup)
                                           : h.passes.Change(kSave, "5");
}

// A folder holding `files`, on a system that swaps two names and links files, or (as FAT)
// neither: there a backup is a copy.
MemoryFileSystem Folder(bool exchanges, const std::map<std::string, std::string>& files) {
  MemoryFileSystem memory;
  memory.exchanges = memory.links = exchanges;
  for (const auto& [file, bytes] : files)
    memory.Put(file, bytes);
  return memory;
}

const std::pair<const char*, Pass> kPasses[] = {{"analysis", Pass::kAnalysis},
                                                {"remove", Pass::kRemove},
                                                {"change", Pass::kChange},
                                                {"remove with a backup", Pass::kRemoveWithBackup}};

// Both ways of the switch: the swap of the two names, and the rename where there is none.
TEST(FaultCampaignTest, EveryRunEndsWithTheOldSaveReportedOrTheNewOneInPlace) {
  // A value that cannot be written is refused before any file call.
  for (const char* value : {"", "5\n", "\xE2\x82\xAC"}) {
    MemoryFileSystem memory = Folder(true, {{kSave, kOldText}});
    ForwardingFileSystem calls(memory);
    PathHarness h(calls);
    EXPECT_EQ(h.passes.Change(kSave, value).outcome, PassOutcome::kRefused);
    EXPECT_TRUE(calls.calls.empty()) << value;
  }
  int injected = 0;
  for (const auto& [name, pass] : kPasses) {
    for (bool exchanges : {true, false}) {
      MemoryFileSystem clean = Folder(exchanges, {{kSave, kOldText}});
      PlannedFaults counting(clean, 0, Lasting::kOnce);
      ASSERT_EQ(RunPass(counting, pass).outcome, PassOutcome::kDone);
      const std::string expected = *clean.Get(kSave);
      for (int k = 1; k <= counting.Counted(); ++k) {
        for (Lasting lasting : {Lasting::kOnce, Lasting::kOn, Lasting::kThenNoRemove}) {
          SCOPED_TRACE(std::string(name) + (exchanges ? "" : " by rename") + ", call " +
                       std::to_string(k) + ", lasting " + std::to_string(int(lasting)));
          MemoryFileSystem memory = Folder(exchanges, {{kSave, kOldText}});
          PlannedFaults faults(memory, k, lasting);
          const PassResult run = RunPass(faults, pass);
          const std::string message = PassMessage(run);
          ASSERT_FALSE(faults.Failing().empty());
          ++injected;
          std::set<std::string> others;
          for (const std::string& file : memory.Names()) {
            if (file != kSave && file != kBackup) others.insert(file);
          }
          // A backup is whole or absent, stays wherever the new text took the save's place,
          // and wherever else it stays, the message says where it is.
          if (pass == Pass::kRemoveWithBackup) {
            const std::optional<std::string> backup = memory.Get(kBackup);
            EXPECT_TRUE(!backup || backup == kOldText);
            EXPECT_TRUE(backup || *memory.Get(kSave) == kOldText);
            EXPECT_EQ(run.backupKept, backup.has_value());
            EXPECT_TRUE(!backup || run.outcome == PassOutcome::kDone ||
                        message.find("\nThe backup " + kBackup + " holds the old save.\n") !=
                            std::string::npos ||
                        message.ends_with("\nThe backup " + kBackup + " holds the old save."))
                << message;
          }
          if (run.outcome == PassOutcome::kDone) {
            EXPECT_EQ(*memory.Get(kSave), expected);
            // What failed after the switch is said: the folder's sync, the copy at the temp
            // path (not left half; the old save may still stand there, whole, as it says).
            EXPECT_EQ(message.empty(), !run.copyBackError && !run.folderSyncError) << message;
            if (!run.copyBackError) {
              if (pass != Pass::kAnalysis) {
                EXPECT_EQ(memory.Get(kTemp), expected);
              }
              continue;
            }
            EXPECT_TRUE(run.oldAtTemp ? memory.Get(kTemp) == kOldText
                                      : !memory.Get(kTemp) || memory.Get(kTemp) == "");
            continue;
          }
          if (run.outcome == PassOutcome::kRefused) {
            // A check before the pass could not be made: said, and nothing written.
            EXPECT_TRUE(message.ends_with("\nNothing was changed.")) << message;
            EXPECT_EQ(memory.Get(kSave), kOldText);
            EXPECT_TRUE(!memory.Get(kTemp) || memory.Get(kTemp) == "");
            continue;
          }
          ASSERT_EQ(run.outcome, PassOutcome::kFailed);
          ASSERT_TRUE(run.failure);
          if (run.failure->step == PassFailure::Step::kWrittenAtSwitch) {
            // A rename replaced the save, and whether another program wrote to it just before
            // could not be told: its old text is kept.
            EXPECT_TRUE(run.failure->error);
            EXPECT_EQ(memory.Get(kSave), expected);
            EXPECT_EQ(memory.Get(kTemp), kOldText);
            continue;
          }
          EXPECT_EQ(memory.Get(kSave), kOldText) << "the save keeps its old text";
          // The failure names its step; only a failed replace leaves the new text waiting in
          // the temp file.
          using Step = PassFailure::Step;
          const Step step = run.failure->step;
          const bool replace = step == Step::kReplace;
          EXPECT_TRUE(replace || step == Step::kReadWorld || step == Step::kWriteTemp ||
                      step == Step::kWriteBackup)
              << message;
          for (const std::string& file : others) {
            EXPECT_TRUE(file == kTemp || file == kBackup + "tmp") << "only a temp file may stay";
            // A temp file that could not be removed is emptied instead.
            EXPECT_TRUE(replace && file == kTemp
                            ? memory.Get(file) == expected
                            : memory.Get(file) == "" && (faults.Failing() == "Remove" ||
                                                         lasting == Lasting::kThenNoRemove))
                << "a temp file holds the complete new text after a failed replace, else nothing";
          }
          if (replace) {
            EXPECT_EQ(memory.Get(kTemp), expected);
          }
        }
      }
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
    for (bool exchanges : {true, false}) {
      for (const std::string* old : {&kOldText, const_cast<const std::string*>(&large)}) {
        const bool backup = pass == Pass::kRemoveWithBackup;
        if (backup && exchanges) continue;  // a linked backup is whole from its first moment
        if (old == &large && (pass != Pass::kRemove || !exchanges)) continue;
        SCOPED_TRACE(std::string(name) + (exchanges ? "" : " by rename") +
                     (old == &large ? ", large" : ""));
        const std::size_t readSize = old == &large ? LineReader::kDefaultReadSize : 64;
        MemoryFileSystem clean = Folder(exchanges, {{kSave, *old}});
        ASSERT_EQ(RunPass(clean, pass, readSize).outcome, PassOutcome::kDone);
        const std::string expected = *clean.Get(kSave);
        // The next run on what a crash left, which must find the old or the new save; once
        // for each state that a crash can leave.
        std::set<std::map<std::string, std::string>> tried;
        const auto recover = [&](std::map<std::string, std::string> files, const std::string& call,
                                 const char* crash) {
          if (!tried.insert(files).second) return;
          ++cuts;
          SCOPED_TRACE(std::string(crash) + " after " + call);
          auto save = files.find(kSave);
          ASSERT_NE(save, files.end()) << "the save is gone";
          ASSERT_TRUE(save->second == *old || save->second == expected)
              << "a save of " << save->second.size() << " bytes";
          ASSERT_TRUE(!files.count(kBackup) || files[kBackup] == *old) << "a part of a backup";
          files.erase(kBackup);
          MemoryFileSystem next = Folder(exchanges, files);
          ASSERT_EQ(RunPass(next, pass, readSize).outcome, PassOutcome::kDone);
          EXPECT_EQ(next.Get(kSave), expected);
          // A save that holds the new text already is left as it is, without a temp file.
          const std::size_t temp = save->second == *old;
          EXPECT_EQ(next.Names().size(),
                    pass == Pass::kAnalysis ? files.size() : 1 + temp + backup);
        };
        MemoryFileSystem memory = Folder(exchanges, {{kSave, *old}});
        ForwardingFileSystem watched(memory);
        watched.afterCall = [&](const std::string& call) {
          std::map<std::string, std::string> now;
          for (const std::string& file : memory.Names())
            now[file] = *memory.Get(file);
          recover(now, call, "a kill");
          recover(memory.AfterPowerCut(), call, "a power cut");
        };
        ASSERT_EQ(RunPass(watched, pass, readSize).outcome, PassOutcome::kDone);
        EXPECT_EQ(memory.AfterPowerCut().at(kSave), expected) << "the new save is durable";
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
    for (bool exchanges : {true, false}) {
      if (pass == Pass::kAnalysis) continue;
      MemoryFileSystem clean = Folder(exchanges, {{kSave, kOldText}});
      ASSERT_EQ(RunPass(clean, pass).outcome, PassOutcome::kDone);
      const std::string expected = *clean.Get(kSave);
      for (int k = 1;; ++k) {
        SCOPED_TRACE(std::string(name) + (exchanges ? "" : " by rename") + ", yield " +
                     std::to_string(k));
        MemoryFileSystem memory = Folder(exchanges, {{kSave, kOldText}});
        PathHarness h(memory, {.read = 64});
        int yield = 0;
        h.recorder.onYield = [&] {
          if (++yield == k) h.stop = true;
        };
        const PassResult run = pass == Pass::kRemove   ? h.passes.Remove(kSave)
                               : pass == Pass::kChange ? h.passes.Change(kSave, "5")
                                                       : h.passes.Remove(kSave, kBackup);
        if (yield < k) {
          EXPECT_EQ(run.outcome, PassOutcome::kDone);
          break;
        }
        EXPECT_EQ(run.outcome, PassOutcome::kStopped);
        EXPECT_EQ(memory.Get(kSave), run.replaced ? expected : kOldText);
        EXPECT_EQ(memory.Get(kTemp), run.replaced ? std::optional(expected) : std::nullopt);
        const std::optional<std::string> backup = memory.Get(kBackup);
        EXPECT_TRUE(!backup || backup == kOldText);
        EXPECT_EQ(run.backupKept, backup.has_value());
        EXPECT_EQ(PassMessage(run).ends_with("\nThe backup " + kBackup + " holds the old save."),
                  backup && !run.replaced);
        EXPECT_EQ(memory.Names().size(), 1 + run.replaced + backup.has_value());
      }
    }
  }
}

}  // namespace
}  // namespace duskmend::test
