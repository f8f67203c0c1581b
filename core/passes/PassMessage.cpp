#include "PassMessage.h"

#include <cstdint>

namespace duskmend {
namespace {

const char kNothingChanged[] = "Nothing was changed.";

std::string Megabytes(std::uint64_t bytes, bool up) {
  constexpr std::uint64_t kMegabyte = 1000000;
  return std::to_string(bytes / kMegabyte + (up && bytes % kMegabyte ? 1 : 0));
}

std::string RefusalMessage(const PassRefusal& refusal, const std::string& path) {
  switch (refusal.reason) {
    case PassRefusal::Reason::kNoValue:
      return "You have to enter a new value or remove all local lights!";
    case PassRefusal::Reason::kValueNotLatin1:
      return "The new value must be one line of Latin-1 (ISO 8859-1) characters; the euro sign "
             "and other characters outside Latin-1 are not accepted.\nNothing was changed.";
    case PassRefusal::Reason::kBusy:
      return "Another Duskmend is working on " + path + ".\nWait until it is done.\n" +
             kNothingChanged;
    case PassRefusal::Reason::kMayNotReplace:
      return "Cannot replace the worldsave " + path + "\n" +
             (refusal.detail.empty() ? "" : refusal.detail + "\n") + kNothingChanged;
    case PassRefusal::Reason::kNoSpace:
      return "Not enough free space beside " + path + ": " + Megabytes(refusal.needed, true) +
             " MB needed, " + Megabytes(refusal.free, false) + " MB free.\n" + kNothingChanged;
  }
  return kNothingChanged;
}

// The three lines of a failure message: what failed, the system's reason, what it means.
std::string FailureMessage(const PassFailure& failure, const std::string& path,
                           const std::string& tempPath) {
  std::string what;
  std::string meaning = "The worldsave was not changed.";
  switch (failure.step) {
    case PassFailure::Step::kReadWorld:
      what = "Cannot read the worldsave " + path;
      meaning = kNothingChanged;
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

std::string PassMessage(const PassResult& result) {
  switch (result.outcome) {
    case PassOutcome::kRefused:
      return result.refusal ? RefusalMessage(*result.refusal, result.path) : "";
    case PassOutcome::kFailed:
      return result.failure ? FailureMessage(*result.failure, result.path, result.tempPath) : "";
    case PassOutcome::kDone:
      if (!result.copyBackError) return "";
      return "The worldsave was replaced, but its copy " + result.tempPath +
             " could not be written.\n" + result.copyBackError.message();
    case PassOutcome::kStopped:
    case PassOutcome::kBusy:
      break;
  }
  return "";
}

}  // namespace duskmend
