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
#include "ScanPass.h"
#include "WindowModel.h"

namespace duskmend {
namespace {

const std::string kReady = "100% - Ready";
const std::string kFailed = "Failed - worldsave unchanged";

// The three lines of a failure message: what failed, the system's reason, what it means.
std::string FailureMessage(const PassFailure& failure, const std::string& path) {
  std::string what;
  std::string meaning = "The worldsave was not changed.";
  switch (failure.step) {
    case PassFailure::Step::kReadWorld:
      what = "Cannot read the worldsave " + path;
      meaning = "Nothing was changed.";
      break;
    case PassFailure::Step::kWriteTemp:
      what = "Cannot write the temporary file " + TempPathOf(path);
      break;
    case PassFailure::Step::kReplace:
      what = "Cannot replace the worldsave " + path;
      meaning += " Its new text is in " + TempPathOf(path) + ".";
      break;
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

void PassRunner::Yield() {
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
  const std::string tempPath = TempPathOf(path);
  bool tempOpened = false;  // only a temp file of this run may be removed
  try {
    ScanCounts counts;
    {
      OpenFile world(fs_, path, OpenMode::kRead, PassFailure::Step::kReadWorld);
      OpenFile temp(fs_, tempPath, OpenMode::kCreateOrEmpty, PassFailure::Step::kWriteTemp);
      tempOpened = true;
      const std::uint64_t totalBytes = world.Size();
      // The old text is read once and then replaced: its cache would only crowd out the
      // memory of the machine's other programs, the game server among them.
      LineReader reader(fs_, world.Handle(), readSize_, LineReader::Cache::kForget);
      LineWriter writer(fs_, temp.Handle(), writeBufferSize_);
      Steps steps(reader, writer, args...);
      counts = Scan(reader, totalBytes, steps);
      world.Close();
      writer.Flush();
      temp.Sync();
      temp.Close();
    }
    Yield();
    ReplaceStep(fs_, sink_).Run(path);
    if (stopRequested_) return PassOutcome::kStopped;  // asked for while the step ran
    sink_.SetStatusText(kReady);
    sink_.SetBarWidth(kFullBarWidth);
    model_.SetLightsCount(counts.lights);
    model_.SetSectorsCount(counts.sectors);
    return PassOutcome::kDone;
  } catch (const PassFailure& failure) {
    // After a failed replace the temp file is complete and holds the new text.
    if (tempOpened && failure.step != PassFailure::Step::kReplace) Discard(fs_, tempPath);
    return Fail(failure, path);
  } catch (const PassStopped&) {
    if (tempOpened) Discard(fs_, tempPath);
    return PassOutcome::kStopped;
  }
}

PassOutcome PassRunner::Fail(const PassFailure& failure, const std::string& path) {
  sink_.SetStatusText(kFailed);
  dialogs_.ShowMessage(FailureMessage(failure, path), kStyleCritical, kMessageTitle);
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
    return Fail(failure, path);
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
    dialogs_.ShowMessage("The new value must be one line of 8-bit characters.", kStyleCritical,
                         kMessageTitle);
    return PassOutcome::kRefused;
  }
  return Rewrite<ChangeSteps>(model_.PathText(), *value);
}

}  // namespace duskmend
