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

// The three lines of a failure message: what failed, the system's reason, what it means.
// `keptAt`: the file that holds what the failure kept.
std::string FailureMessage(const PassFailure& failure, const std::string& path,
                           const std::string& tempPath, const std::string& keptAt,
                           const std::string& backupPath) {
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
    case PassFailure::Step::kWriteBackup:
      what = "Cannot write the backup " + backupPath;
      break;
    case PassFailure::Step::kReplace:
      what = "Cannot replace the worldsave " + path;
      meaning += " Its new text is in " + keptAt + ".";
      break;
    case PassFailure::Step::kWorldChanged:
      return "The worldsave " + path + " was " +
             (failure.error == std::errc::no_such_file_or_directory ? "removed" : "changed") +
             " by another program while Duskmend read it." +
             "\nIs the game server still running? Stop the server, then run this pass again.\n" +
             meaning;
    case PassFailure::Step::kWorldChangedAtSwitch:
      return "The worldsave " + path + " was changed by another program while Duskmend " +
             "replaced it, and that program's file could not be put back (" +
             failure.error.message() + ").\nIt is in " + keptAt +
             "; the worldsave holds Duskmend's new text. Stop the server and look at both.";
    case PassFailure::Step::kWorldRemovedAtSwitch:
      return "The worldsave " + path + " was removed by another program while Duskmend " +
             "replaced it.\nThe file that stood there before is in " + keptAt +
             ". Stop the server and look at it.";
    case PassFailure::Step::kWrittenIntoNew:
      return "The worldsave " + path + " was changed by another program while Duskmend " +
             "replaced it, and it is as that program left it.\nThat program also wrote " +
             "where Duskmend's new text stood meanwhile: what it wrote is in " + keptAt +
             ". Stop the server and look at both.";
    case PassFailure::Step::kWrittenAtSwitch:
      return (failure.error ? "Duskmend could not tell whether another program changed the " +
                                  std::string("worldsave ") + path + " while it was replaced (" +
                                  failure.error.message() + ")."
                            : "The worldsave " + path +
                                  " was changed by another program while Duskmend replaced it.") +
             "\nWhat it held before is in " + keptAt +
             "; the worldsave holds Duskmend's new text. Stop the server and look at both.";
    case PassFailure::Step::kWrittenAtSwitchLost:
      return "The worldsave " + path + " was changed by another program while Duskmend " +
             "replaced it, and what that program wrote could not be kept in " + keptAt + " (" +
             failure.error.message() +
             ").\nThe worldsave holds Duskmend's new text. Stop the server and look at it.";
    case PassFailure::Step::kWorldReplacedAtSwitch:
      return "Another program replaced or removed the worldsave " + path + " in the moment " +
             "Duskmend replaced it: a file that it put there, if any, is lost.\n" +
             "The worldsave holds Duskmend's new text; " +
             (failure.error ? "what it held before could not be kept in " + keptAt + " (" +
                                  failure.error.message() + ")."
                            : "what it held before is in " + keptAt + ".") +
             " Is the server still running? Have it save the world again, then stop it.";
  }
  return what.append(1, '\n').append(failure.error.message()).append(1, '\n').append(meaning);
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
      return FailureMessage(*result.failure, result.path, result.tempPath, Kept(result),
                            result.backupPath) +
             backup;
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
