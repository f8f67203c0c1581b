#include "PassRunner.h"

#include <string>

#include "Dialogs.h"
#include "PassMessage.h"
#include "ProgressSink.h"
#include "WindowModel.h"

namespace duskmend {
namespace {

const std::string kReady = "100% - Ready";
const std::string kFailed = "Failed - worldsave unchanged";
// Another program changed the save at the very moment of the switch; the message says more.
const std::string kFailedReplaced = "Failed - worldsave replaced";

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

PassRunner::PassRunner(WindowModel& model, ProgressSink& sink, Dialogs& dialogs, FileSystem& fs,
                       BufferSizes buffers)
    : model_(model),
      sink_(sink),
      dialogs_(dialogs),
      guard_(model, dialogs),
      passes_(sink, stopRequested_, fs, buffers) {}

void PassRunner::RequestStop() {
  if (running_) stopRequested_ = true;
}

void PassRunner::ShowCounts(const ScanCounts& counts) {
  model_.SetLightsCount(counts.lights);
  model_.SetSectorsCount(counts.sectors);
}

PassOutcome PassRunner::Show(const PassResult& shown, bool countsFirst) {
  switch (shown.outcome) {
    case PassOutcome::kDone:
      if (countsFirst) ShowCounts(shown.counts);
      sink_.SetStatusText(kReady);
      sink_.SetBarWidth(kFullBarWidth);
      if (!countsFirst) ShowCounts(shown.counts);
      // The save is replaced; what could not be done after it is said.
      if (shown.copyBackError || shown.folderSyncError)
        dialogs_.ShowMessage(PassMessage(shown), kStyleExclamation, kMessageTitle);
      break;
    case PassOutcome::kFailed:
      sink_.SetStatusText(shown.worldsave == SaveText::kNew ? kFailedReplaced : kFailed);
      [[fallthrough]];
    case PassOutcome::kRefused:
      dialogs_.ShowMessage(PassMessage(shown), kStyleCritical, kMessageTitle);
      break;
    case PassOutcome::kStopped:
    case PassOutcome::kBusy:
      break;
  }
  return shown.outcome;
}

template <class Pass>
PassOutcome PassRunner::Run(Pass pass, bool countsFirst) {
  if (running_) return PassOutcome::kBusy;
  RunningScope running(*this);
  if (guard_.CHeckStatuS() == 1) return PassOutcome::kRefused;
  return Show(pass(), countsFirst);
}

PassOutcome PassRunner::AnalysisPass() {
  return Run([this] { return passes_.Analysis(model_.PathText()); }, true);
}

PassOutcome PassRunner::RemovePass() {
  return Run([this] { return passes_.Remove(model_.PathText()); }, false);
}

PassOutcome PassRunner::ChangePass() {
  return Run(
      [this] {
        const std::string answer = dialogs_.AskForText("Change to what value?", kMessageTitle);
        return passes_.Change(model_.PathText(), answer);
      },
      false);
}

}  // namespace duskmend
