#pragma once

#include <cstdint>
#include <string>
#include <system_error>
#include <utility>

namespace duskmend {

// What the world save's path holds after a pass: its old text (or what another program made
// of it), the pass's new text, or nothing (another program removed it).
enum class SaveText { kOld, kNew, kNone };

// A file step of a pass that failed. The pass ends; up to the switch the world save keeps its
// old text.
struct PassFailure {
  enum class Step {
    kReadWorld,
    kWriteTemp,
    kReplace,
    kWriteBackup,   // the backup of the save could not be made
    kWorldChanged,  // another program changed the world save while the pass read it
    // another program put its save in place at the moment of the switch, and its file could
    // not be put back: it is at the temp path, and the world save holds the new text
    kWorldChangedAtSwitch,
    // another program removed the new save at the moment of the switch: the old one is at
    // the temp path
    kWorldRemovedAtSwitch,
    // the switch was taken back, and another program had written into the new text, which
    // stays at the temp path
    kWrittenIntoNew,
    // another program wrote to the old save as a rename replaced it (with an error: whether
    // it did could not be told): the old save's text is at the temp path, the new in the
    // world save
    kWrittenAtSwitch,
    // the same, and the old save's text could not be kept
    kWrittenAtSwitchLost,
    // another program put a file at the world save's name, or removed it, as a rename replaced
    // it: that file is lost, the old save's text is at the temp path (with an error: it could
    // not be kept), the new in the world save
    kWorldReplacedAtSwitch,
  };
  Step step;
  std::error_code error;
};

// Whether a failure at `step` leaves the new text in the world save's place.
constexpr bool NewTextInPlace(PassFailure::Step step) {
  using Step = PassFailure::Step;
  switch (step) {
    case Step::kReadWorld:
    case Step::kWriteTemp:
    case Step::kReplace:
    case Step::kWriteBackup:
    case Step::kWorldChanged:
    case Step::kWorldRemovedAtSwitch:
    case Step::kWrittenIntoNew:
      return false;
    case Step::kWorldChangedAtSwitch:
    case Step::kWrittenAtSwitch:
    case Step::kWrittenAtSwitchLost:
    case Step::kWorldReplacedAtSwitch:
      return true;
  }
  return false;
}

// A pass that may not begin, and why. Nothing was changed.
struct PassRefusal {
  enum class Reason {
    kNoValue,         // the change pass was given an empty value
    kValueNotLatin1,  // or one that is not one line of Latin-1
    kValueNotText,    // or bytes that are no text in the console's character set
    kBusy,            // another Duskmend works on the save
    kTempIsSave,      // the temp path is another name of the save
    kNoWatch,         // the system has watches but gives none now
    kBackupExists,    // the backup's path is taken
    kMayNotReplace,   // this user may not replace the save as it is
    kNoSpace,         // the disk has no room for the new text
  };
  explicit PassRefusal(Reason why, std::string systemReason = {}, std::uint64_t neededBytes = 0,
                       std::uint64_t freeBytes = 0)
      : reason(why), detail(std::move(systemReason)), needed(neededBytes), free(freeBytes) {}

  Reason reason;
  // the system's reason, for kMayNotReplace and kNoWatch; the path, for kTempIsSave,
  // kBackupExists and kNoSpace; the character set, for kValueNotText
  std::string detail;
  std::uint64_t needed;  // bytes, for kNoSpace
  std::uint64_t free;
};

// Thrown at a yield when the user asked the running pass to stop.
struct PassStopped {};

}  // namespace duskmend
