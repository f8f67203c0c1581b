#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "PassFailure.h"
#include "PassRefusal.h"
#include "ScanCounts.h"

namespace duskmend {

enum class PassOutcome {
  kDone,     // the counts are known
  kRefused,  // the pass may not begin: nothing changed
  kFailed,   // a file step failed; `worldsave` says what the save's path holds
  kStopped,  // stopped at a yield on the user's request
  kBusy,     // another pass of the window was running; nothing happened
};

// What a pass over a world save did, as data: the window and the command line each show it
// in their own way, with the same texts.
struct PassResult {
  PassOutcome outcome = PassOutcome::kDone;
  ScanCounts counts;  // when done
  std::uint64_t changed =
      0;  // entries listed, or rewritten: none where the save was left as it was
  std::vector<std::string> unseenSectors;  // sectors chosen by name that the save does not hold
  std::string path;                        // the world save, as the pass was given it
  std::string tempPath;                    // its temp file
  std::string backupPath;                  // where the old save was to stay, if anywhere
  std::optional<PassRefusal> refusal;      // when refused
  std::optional<PassFailure> failure;      // when failed: which step, and the system's reason
  bool replaced = false;                   // a new text took the save's place, stopped or not
  std::error_code copyBackError;           // done, but the copy at the temp path is missing
  bool oldAtTemp = false;                  // and the old save still stands there
  std::error_code folderSyncError;         // done, but the switch may not outlast a power cut
  SaveText worldsave = SaveText::kOld;     // what the save's path holds after a rewriting pass
  bool backupKept = false;                 // the backup stays, with the old text
  // Where a text that the message tells of was moved from the temp path: a name of its own
  // beside the save, which no pass writes; empty where nothing was kept, or it could not move.
  std::string keptPath;
};

}  // namespace duskmend
