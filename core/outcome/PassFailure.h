#pragma once

#include <system_error>

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

// What a failure at a step leaves, said once for every step.
struct StepMeaning {
  const char* name;     // the step's name where a program reports it to another
  bool newTextInPlace;  // the world save holds the pass's new text
  // What the temp file holds that is kept, and the message tells of, as the name it is kept
  // under says it: "new" (the new text after a failed switch), "old" (the old save's text,
  // or what stood at the save's name), "other" (what another program wrote or left); none
  // where it holds only this pass's unfinished text, which goes.
  const char* kept;
};

constexpr StepMeaning MeaningOf(PassFailure::Step step) {
  using Step = PassFailure::Step;
  switch (step) {
    case Step::kReadWorld:
      return {"read-worldsave", false, nullptr};
    case Step::kWriteTemp:
      return {"write-temp", false, nullptr};
    case Step::kWriteBackup:
      return {"write-backup", false, nullptr};
    case Step::kReplace:
      return {"replace", false, "new"};
    case Step::kWorldChanged:
      return {"worldsave-changed", false, nullptr};
    case Step::kWorldRemovedAtSwitch:
      return {"worldsave-changed", false, "old"};
    case Step::kWrittenIntoNew:
      return {"worldsave-changed", false, "other"};
    case Step::kWorldChangedAtSwitch:
      return {"worldsave-changed", true, "other"};
    case Step::kWrittenAtSwitch:
    case Step::kWrittenAtSwitchLost:
    case Step::kWorldReplacedAtSwitch:
      return {"worldsave-changed", true, "old"};
  }
  return {"unknown", false, "other"};
}

}  // namespace duskmend
