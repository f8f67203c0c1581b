#include "SavePasses.h"

#include <optional>
#include <utility>

#include "AnalysisSteps.h"
#include "ChangeSteps.h"
#include "KeptText.h"
#include "Latin1.h"
#include "LineFileFailure.h"
#include "ListSteps.h"
#include "OpenFile.h"
#include "ProbeSteps.h"
#include "ProgressSink.h"
#include "RemoveSteps.h"
#include "ReplaceStep.h"
#include "RewriteFiles.h"
#include "ScanPass.h"
#include "WhileWaiting.h"

namespace duskmend {
namespace {

// The result of a pass over `path` before it begins: its temp file stands beside the path
// until the save's links are followed.
PassResult Starting(std::string path) {
  PassResult result;
  result.path = std::move(path);
  result.tempPath = TempPathOf(result.path);
  return result;
}

// The passes read lines from the world save alone, and write them to its temp file alone.
template <class Call>
auto AsPassStep(Call call) -> decltype(call()) {
  try {
    return call();
  } catch (const LineFileFailure& failure) {
    throw PassFailure{failure.call == LineFileFailure::Call::kRead ? PassFailure::Step::kReadWorld
                                                                   : PassFailure::Step::kWriteTemp,
                      failure.error};
  }
}

}  // namespace

void SavePasses::Yield(bool atEnd) {
  if (atEnd)
    sink_.YieldToEventsAtEnd();
  else
    sink_.YieldToEvents();
  if (stop_) throw PassStopped{};
}

template <class Steps>
ScanCounts SavePasses::Scan(LineReader& reader, std::uint64_t totalBytes, Steps& steps) {
  return AsPassStep([&] {
    return ScanPass<Steps>(
               reader, sink_, totalBytes, [this] { Yield(); }, steps)
        .Run();
  });
}

PassResult SavePasses::Analysis(std::string path) { return Read<AnalysisSteps>(std::move(path)); }

PassResult SavePasses::List(std::string path, std::function<void(const LightEntry&)> found,
                            SectorChoice choice) {
  PassResult result = Read<ListSteps>(std::move(path), choice, std::move(found));
  result.unseenSectors = choice.Unseen();
  return result;
}

// A pass that reads the save and writes nothing.
template <class Steps, class... Args>
PassResult SavePasses::Read(std::string path, Args&&... args) {
  PassResult result = Starting(std::move(path));
  try {
    OpenFile world(fs_, result.path, OpenMode::kRead, PassFailure::Step::kReadWorld);
    const std::uint64_t totalBytes = world.Size();
    LineReader reader(fs_, world.Handle(), buffers_.read);
    Steps steps(reader, std::forward<Args>(args)...);
    result.counts = Scan(reader, totalBytes, steps);
    if constexpr (requires { steps.Changed(); }) result.changed = steps.Changed();
    world.Close();
  } catch (const PassFailure& failure) {
    result.outcome = PassOutcome::kFailed;
    result.failure = failure;
  } catch (const PassStopped&) {
    result.outcome = PassOutcome::kStopped;
  }
  return result;
}

PassResult SavePasses::Remove(std::string path, RewriteOptions options) {
  PassResult result = Starting(std::move(path));
  Rewrite<RemoveSteps>(result, options.backup, options.choice);
  result.unseenSectors = options.choice.Unseen();
  return result;
}

PassResult SavePasses::Change(std::string path, const std::string& value, RewriteOptions options) {
  PassResult result = Starting(std::move(path));
  const std::optional<std::string> latin1 = Latin1Line(value);
  if (value.empty() || !latin1) {
    result.outcome = PassOutcome::kRefused;
    result.refusal = PassRefusal(value.empty() ? PassRefusal::Reason::kNoValue
                                               : PassRefusal::Reason::kValueNotLatin1);
    return result;
  }
  Rewrite<ChangeSteps>(result, options.backup, options.choice, *latin1);
  result.unseenSectors = options.choice.Unseen();
  return result;
}

template <class Steps, class... Args>
void SavePasses::Rewrite(PassResult& result, const std::string& backupPath, SectorChoice& choice,
                         const Args&... args) {
  std::optional<RewriteFiles> files;
  BackupFile backup(fs_, backupPath);
  result.backupPath = backupPath;
  try {
    files.emplace(fs_, sink_, result.path, backup);
    result.tempPath = files->tempPath;
    const bool untouched = NothingToChange(*files, result, choice, args...);
    files->MakeRoom(fs_, sink_, backup, !untouched);
    if (!untouched) WriteNewText<Steps>(*files, result, choice, args...);
    if (backup.Made() == BackupFile::State::kToCopy) {
      if (std::error_code error = backup.Copy(files->world->Handle(), sink_)) {
        throw PassFailure{PassFailure::Step::kWriteBackup, error};
      }
    }
    if (untouched) {
      Yield(true);
      return Settle(result, backup, &*files, untouched);
    }
    // The save stays open, and locked, until its place is taken and the copy is made,
    // where the system lets a file be replaced while it is open.
    if (!fs_.ReplacesOpenFiles()) files->world->Close();
    // Most of the new text is on its way to the disk already; the rest may take a while.
    const FileHandle temp = files->temp->Handle();
    if (std::error_code error = WhileWaiting(sink_, [this, temp] { return fs_.Sync(temp); }))
      throw PassFailure{PassFailure::Step::kWriteTemp, error};
    Yield(true);
    ReplaceStep replace(fs_, sink_);
    replace.Run(*files);
    result.replaced = true;
    result.copyBackError = replace.CopyBackError();
    result.oldAtTemp = replace.OldAtTemp();
    result.folderSyncError = replace.FolderSyncError();
    if (result.oldAtTemp) Keep(result, *files, "old");
    if (stop_) result.outcome = PassOutcome::kStopped;  // asked for while the step ran
  } catch (const PassRefusal& refusal) {
    result.outcome = PassOutcome::kRefused;
    result.refusal = refusal;
  } catch (const PassFailure& failure) {
    result.outcome = PassOutcome::kFailed;
    result.failure = failure;
    if (files) {
      // What the message tells of is kept; the pass's own unfinished text goes.
      if (const char* kept = MeaningOf(failure.step).kept)
        Keep(result, *files, kept);
      else
        DiscardTemp(*files);
    }
  } catch (const PassStopped&) {
    if (files) DiscardTemp(*files);
    result.outcome = PassOutcome::kStopped;
  }
  Settle(result, backup, files ? &*files : nullptr, false);
}

// Moves the text that the message tells of away from the temp path, which the next pass clears.
void SavePasses::Keep(PassResult& result, RewriteFiles& files, const char* what) {
  files.temp.reset();
  if (!fs_.ReplacesOpenFiles()) files.world.reset();
  result.keptPath = KeepAside(fs_, files.tempPath, files.target, what);
}

// Whether no entry would change. A save so is left as it is, its line ends too: a start script
// that cleans the save at every boot costs an analysis.
template <class... Args>
bool SavePasses::NothingToChange(const RewriteFiles& files, PassResult& result,
                                 SectorChoice& choice, const Args&... args) {
  LineReader probe(fs_, files.world->Handle(), buffers_.read);
  ProbeSteps steps(probe, choice, args...);
  const ScanCounts counts = Scan(probe, files.read.size, steps);
  if (steps.WouldChange()) return false;
  result.counts = counts;
  if (probe.Consumed() != files.read.size) throw PassFailure{PassFailure::Step::kWorldChanged, {}};
  return true;
}

// Writes the new text to the temp file, reading the save again from its start, as the same file.
template <class Steps, class... Args>
void SavePasses::WriteNewText(const RewriteFiles& files, PassResult& result, SectorChoice& choice,
                              const Args&... args) {
  OpenFile world(fs_, files.target, OpenMode::kRead, PassFailure::Step::kReadWorld);
  FileIdentity again;
  if (std::error_code error = fs_.IdentityOf(world.Handle(), again)) {
    throw PassFailure{PassFailure::Step::kReadWorld, error};
  }
  if (!again.SameFile(files.read)) throw PassFailure{PassFailure::Step::kWorldChanged, {}};
  // The old text is read once more and then replaced: its cache would only crowd out the
  // memory of the machine's other programs, the game server among them.
  LineReader reader(fs_, world.Handle(), buffers_.read, LineReader::Cache::kForget);
  LineWriter writer(fs_, files.temp->Handle(), buffers_.write);
  Steps steps(reader, writer, choice, args...);
  result.counts = Scan(reader, files.read.size, steps);
  // A save that a server cut short and wrote again in place ends early.
  if (reader.Consumed() != files.read.size) {
    throw PassFailure{PassFailure::Step::kWorldChanged, {}};
  }
  AsPassStep([&writer] { writer.Flush(); });
  world.Close();
  result.changed = steps.Changed();
}

void SavePasses::DiscardTemp(RewriteFiles& files) {
  if (!files.madeTemp) return;  // what stands at the temp path is not this pass's to remove
  files.temp.reset();
  Discard(fs_, files.tempPath);
}

// What a rewriting pass leaves: the backup kept where the new text took the save's place or the
// save was left untouched (else taken away where spare), and what the save's path holds.
void SavePasses::Settle(PassResult& result, BackupFile& backup, const RewriteFiles* files,
                        bool untouched) {
  const bool newText =
      result.replaced || (result.failure && MeaningOf(result.failure->step).newTextInPlace);
  // Files that were made have looked at the save.
  result.backupKept = backup.Settle(files ? &files->read : nullptr, newText || untouched);
  FileIdentity there;
  const bool gone = fs_.IdentityAt(files ? files->target : result.path, there) ==
                    std::errc::no_such_file_or_directory;
  result.worldsave = newText ? SaveText::kNew : gone ? SaveText::kNone : SaveText::kOld;
}

}  // namespace duskmend
