#include "PassRunner.h"

#include <optional>

#include "AnalysisSteps.h"
#include "ChangeSteps.h"
#include "Dialogs.h"
#include "Latin1.h"
#include "OpenFile.h"
#include "PassFailure.h"
#include "ProgressSink.h"
#include "RemoveSteps.h"
#include "ReplaceStep.h"
#include "RewriteFiles.h"
#include "ScanPass.h"
#include "WhileWaiting.h"
#include "WindowModel.h"

namespace duskmend {
namespace {

const std::string kReady = "100% - Ready";
const std::string kFailed = "Failed - worldsave unchanged";
const std::string kNotLatin1 =
    "The new value must be one line of Latin-1 (ISO 8859-1) characters; the euro sign and "
    "other characters outside Latin-1 are not accepted.\nNothing was changed.";

// The three lines of a failure message: what failed, the system's reason, what it means.
std::string FailureMessage(const PassFailure& failure, const std::string& path,
                           const std::string& tempPath) {
  std::string what;
  std::string meaning = "The worldsave was not changed.";
  switch (failure.step) {
    case PassFailure::Step::kReadWorld:
      what = "Cannot read the worldsave " + path;
      meaning = "Nothing was changed.";
      break;
    case PassFailure::Step::kWriteTemp:
      what = "Cannot write the temporary file " + tempPath;
      break;
    case PassFailure::Step::kReplace:
      what = "Cannot replace the worldsave " + path;
      meaning += " Its new text is in " + tempPath + ".";
      break;
    case PassFailure::Step::kWorldChanged:
      return "The worldsave " + path + " was changed by another program while Duskmend read it." +
             "\nIs the server still running? Stop it and start again.\n" + meaning;
    case PassFailure::Step::kWorldChangedAtSwitch:
      return "The worldsave " + path + " was changed by another program while Duskmend " +
             "replaced it, and that program's file could not be put back (" +
             failure.error.message() + ").\nIt is in " + tempPath +
             "; the worldsave holds Duskmend's new text. Stop the server and look at both.";
  }
  return what.append(1, '\n').append(failure.error.message()).append(1, '\n').append(meaning);
}

}  // namespace

// Marks a pass as running for as long as it exists.
class PassRunner::RunningScope {
 public:
  explicit RunningScope(PassRunner& runner) : runner_(runner) {
    runner_.running_ = true;
    runner_.stopRequested_ = false;
    runner_.replaced_ = false;
    runner_.lastFailure_.reset();
  }
  ~RunningScope() { runner_.running_ = false; }
  RunningScope(const RunningScope&) = delete;
  RunningScope& operator=(const RunningScope&) = delete;

 private:
  PassRunner& runner_;
};

PassRunner::PassRunner(WindowModel& model, ProgressSink& sink, Dialogs& dialogs, FileSystem& fs)
    : model_(model), sink_(sink), dialogs_(dialogs), fs_(fs), guard_(model, dialogs) {}

void PassRunner::RequestStop() {
  if (running_) stopRequested_ = true;
}

void PassRunner::Yield(bool atEnd) {
  if (atEnd)
    sink_.YieldToEventsAtEnd();
  else
    sink_.YieldToEvents();
  if (stopRequested_) throw PassStopped{};
}

template <class Steps>
ScanCounts PassRunner::Scan(LineReader& reader, std::uint64_t totalBytes, Steps& steps) {
  return ScanPass<Steps>(
             reader, sink_, totalBytes, [this] { Yield(); }, steps)
      .Run();
}

template <class Steps, class... Args>
// NOLINTNEXTLINE(performance-unnecessary-value-param): the pass keeps its own path
PassOutcome PassRunner::Rewrite(std::string path, const Args&... args) {
  std::optional<RewriteFiles> files;
  try {
    files.emplace(fs_, sink_, path);
    // The old text is read once and then replaced: its cache would only crowd out the
    // memory of the machine's other programs, the game server among them.
    LineReader reader(fs_, files->world->Handle(), readSize_, LineReader::Cache::kForget);
    LineWriter writer(fs_, files->temp->Handle(), writeBufferSize_);
    Steps steps(reader, writer, args...);
    const ScanCounts counts = Scan(reader, files->read.size, steps);
    // A save that a server cut short and wrote again in place ends early.
    if (reader.Consumed() != files->read.size) {
      throw PassFailure{PassFailure::Step::kWorldChanged, {}};
    }
    // The save stays open, and locked, until its place is taken and the copy is made,
    // where the system lets a file be replaced while it is open.
    if (!fs_.ReplacesOpenFiles()) files->world->Close();
    writer.Flush();
    // Most of the new text is on its way to the disk already; the rest may take a while.
    const FileHandle temp = files->temp->Handle();
    if (std::error_code error = WhileWaiting(sink_, [this, temp] { return fs_.Sync(temp); }))
      throw PassFailure{PassFailure::Step::kWriteTemp, error};
    Yield(true);
    ReplaceStep replace(fs_, sink_);
    replace.Run(*files);
    replaced_ = true;
    if (stopRequested_) return PassOutcome::kStopped;  // asked for while the step ran
    sink_.SetStatusText(kReady);
    sink_.SetBarWidth(kFullBarWidth);
    model_.SetLightsCount(counts.lights);
    model_.SetSectorsCount(counts.sectors);
    if (replace.CopyBackError()) {
      dialogs_.ShowMessage("The worldsave was replaced, but its copy " + files->tempPath +
                               " could not be written.\n" + replace.CopyBackError().message(),
                           kStyleExclamation, kMessageTitle);
    }
    return PassOutcome::kDone;
  } catch (const PassRefusal& refusal) {
    dialogs_.ShowMessage(refusal.message, kStyleCritical, kMessageTitle);
    return PassOutcome::kRefused;
  } catch (const PassFailure& failure) {
    // After a failed switch the temp file is complete and holds the new text, or holds
    // what another program wrote.
    const bool keep = failure.step == PassFailure::Step::kReplace ||
                      failure.step == PassFailure::Step::kWorldChangedAtSwitch;
    if (files && !keep) Discard(fs_, files->tempPath);
    return Fail(failure, path, files ? files->tempPath : TempPathOf(path));
  } catch (const PassStopped&) {
    if (files) Discard(fs_, files->tempPath);
    return PassOutcome::kStopped;
  }
}

PassOutcome PassRunner::Fail(const PassFailure& failure, const std::string& path,
                             const std::string& tempPath) {
  lastFailure_ = failure;
  sink_.SetStatusText(kFailed);
  dialogs_.ShowMessage(FailureMessage(failure, path, tempPath), kStyleCritical, kMessageTitle);
  return PassOutcome::kFailed;
}

PassOutcome PassRunner::AnalysisPass() {
  if (running_) return PassOutcome::kBusy;
  RunningScope running(*this);
  if (guard_.CHeckStatuS() == 1) return PassOutcome::kRefused;
  const std::string path = model_.PathText();
  try {
    OpenFile world(fs_, path, OpenMode::kRead, PassFailure::Step::kReadWorld);
    const std::uint64_t totalBytes = world.Size();
    LineReader reader(fs_, world.Handle(), readSize_);
    AnalysisSteps steps(reader);
    const ScanCounts counts = Scan(reader, totalBytes, steps);
    world.Close();
    model_.SetLightsCount(counts.lights);
    model_.SetSectorsCount(counts.sectors);
    sink_.SetStatusText(kReady);
    sink_.SetBarWidth(kFullBarWidth);
    return PassOutcome::kDone;
  } catch (const PassFailure& failure) {
    return Fail(failure, path, TempPathOf(path));
  } catch (const PassStopped&) {
    return PassOutcome::kStopped;
  }
}

PassOutcome PassRunner::RemovePass() {
  if (running_) return PassOutcome::kBusy;
  RunningScope running(*this);
  if (guard_.CHeckStatuS() == 1) return PassOutcome::kRefused;
  return Rewrite<RemoveSteps>(model_.PathText());
}

PassOutcome PassRunner::ChangePass() {
  if (running_) return PassOutcome::kBusy;
  RunningScope running(*this);
  if (guard_.CHeckStatuS() == 1) return PassOutcome::kRefused;
  const std::string answer = dialogs_.AskForText("Change to what value?", kMessageTitle);
  if (answer.empty()) {
    dialogs_.ShowMessage("You have to enter a new value or remove all local lights!",
                         kStyleCritical, kMessageTitle);
    return PassOutcome::kRefused;
  }
  const std::optional<std::string> value = Latin1Line(answer);
  if (!value) {
    dialogs_.ShowMessage(kNotLatin1, kStyleCritical, kMessageTitle);
    return PassOutcome::kRefused;
  }
  return Rewrite<ChangeSteps>(model_.PathText(), *value);
}

}  // namespace duskmend
