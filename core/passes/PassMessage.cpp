#include "PassMessage.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string_view>
#include <utility>

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
      return std::string(
                 "The new value must be one line of Latin-1 (ISO 8859-1) characters; "
                 "the euro sign and other characters outside Latin-1 are not "
                 "accepted.\n") +
             kNothingChanged;
    case PassRefusal::Reason::kValueNotText:
      return "The new value is no text in this system's character set (" + refusal.detail +
             ", as the locale sets it).\nRun Duskmend in the locale of your text, for example " +
             "with LC_ALL=C.UTF-8 before it, then try again.\n" + kNothingChanged;
    case PassRefusal::Reason::kBusy:
      return "Another Duskmend is working on " + path + ".\nWait until it is done.\n" +
             kNothingChanged;
    case PassRefusal::Reason::kBackupExists:
      return "The backup " + refusal.detail + " exists already.\nChoose another name, or " +
             "move that file away, then try again.\n" + kNothingChanged;
    case PassRefusal::Reason::kNotOurs:
      return "Duskmend writes its temporary file at " + refusal.detail +
             ", and a file stands there that Duskmend did not leave.\nLook at it and move it " +
             "away, then try again.\n" + kNothingChanged;
    case PassRefusal::Reason::kBackupIsTemp:
      return "The backup " + refusal.detail + " would take the name of the worldsave's " +
             "temporary file.\nChoose another name, then try again.\n" + kNothingChanged;
    case PassRefusal::Reason::kTempIsSave:
      return "The temporary file " + refusal.detail + " is another name of the worldsave " + path +
             " (a hard link).\nRemove or rename it, then try again.\n" + kNothingChanged;
    case PassRefusal::Reason::kNoWatch:
      return "Cannot watch the worldsave " + path + " for changes by another program (" +
             refusal.detail +
             ").\nClose programs that watch many files, or raise the system's limits "
             "(fs.inotify.max_user_instances and fs.inotify.max_user_watches), then try "
             "again.\n" +
             kNothingChanged;
    case PassRefusal::Reason::kMayNotReplace:
      return "Cannot replace the worldsave " + path + "\n" +
             (refusal.detail.empty() ? "" : refusal.detail + "\n") +
             "Run Duskmend as the account that owns the worldsave (the one that the server runs " +
             "as), make the worldsave writable for it, then try again.\n" + kNothingChanged;
    case PassRefusal::Reason::kNoSpace:
      return "Not enough free space beside " + (refusal.detail.empty() ? path : refusal.detail) +
             ": " + Megabytes(refusal.needed, true) + " MB needed, " +
             Megabytes(refusal.free, false) + " MB free.\n" + kNothingChanged;
  }
  return kNothingChanged;
}

// The file that holds what a pass kept: moved to a name of its own, or where it could not be
// moved, still at the temp path.
const std::string& Kept(const PassResult& result) {
  return result.keptPath.empty() ? result.tempPath : result.keptPath;
}

// A failure's message: its step's words, with the files and the system's reason in their
// places.
std::string FailureMessage(const PassFailure& failure, const PassResult& result) {
  const StepMeaning& step = MeaningOf(failure.step);
  const std::string_view words =
      failure.error && step.messageWithError ? step.messageWithError : step.message;
  const std::pair<std::string_view, std::string> fills[] = {{"{path}", result.path},
                                                            {"{temp}", result.tempPath},
                                                            {"{backup}", result.backupPath},
                                                            {"{kept}", Kept(result)},
                                                            {"{error}", failure.error.message()}};
  std::string message;
  for (std::size_t at = 0; at < words.size();) {
    const auto fill = std::find_if(std::begin(fills), std::end(fills), [&](const auto& f) {
      return words.substr(at).starts_with(f.first);
    });
    if (fill == std::end(fills)) {
      message += words[at++];
    } else {
      message += fill->second;
      at += fill->first.size();
    }
  }
  return message;
}

// What a pass that is done could not do after the switch.
std::string DoneMessage(const PassResult& result) {
  std::string message;
  if (result.folderSyncError) {
    message = "The worldsave was replaced, but its folder could not be synced: a power cut " +
              std::string("soon may bring its old text back.\n") + result.folderSyncError.message();
  }
  if (result.copyBackError) {
    message += (message.empty() ? "" : "\n") + std::string("The worldsave was replaced, but ") +
               "its copy " + result.tempPath + " could not be written" +
               (result.oldAtTemp ? "; " + Kept(result) + " holds the old text.\n" : ".\n") +
               result.copyBackError.message();
  }
  return message;
}

}  // namespace

std::string PassMessage(const PassResult& result) {
  // A backup that stays after a pass that did not finish is said, wherever it is the only
  // copy of the old text or could not be taken away.
  const std::string backup =
      result.backupKept ? "\nThe backup " + result.backupPath + " holds the old save." : "";
  switch (result.outcome) {
    case PassOutcome::kRefused: {
      if (!result.refusal) return "";
      std::string message = RefusalMessage(*result.refusal, result.path);
      // before its last line, "Nothing was changed."
      if (!backup.empty()) message.insert(message.size() - sizeof kNothingChanged, backup);
      return message;
    }
    case PassOutcome::kFailed:
      if (!result.failure) return "";
      return FailureMessage(*result.failure, result) + backup;
    case PassOutcome::kDone:
      return DoneMessage(result);
    case PassOutcome::kStopped:
      if (result.replaced) return "Stopped after the worldsave was replaced.";
      return "Stopped; the worldsave was not changed." + backup;
    case PassOutcome::kBusy:
      break;
  }
  return "";
}

}  // namespace duskmend
