#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace duskmend {

// A pass that may not begin, and why. Nothing was changed.
struct PassRefusal {
  enum class Reason {
    kNoValue,         // the change pass was given an empty value
    kValueNotLatin1,  // or one that is not one line of Latin-1
    kValueNotText,    // or bytes that are no text in the console's character set
    kBusy,            // another Duskmend works on the save
    kTempIsSave,      // the temp path is another name of the save
    kNotOurs,         // a file that Duskmend did not leave stands where the pass writes one
    kBackupIsTemp,    // the backup's path is the save's temp path
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
  // kNotOurs, kBackupIsTemp, kBackupExists and kNoSpace; the character set, for kValueNotText
  std::string detail;
  std::uint64_t needed;  // bytes, for kNoSpace
  std::uint64_t free;
};

}  // namespace duskmend
