#pragma once

#include <cstddef>
#include <iterator>
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

// What a failure at a step leaves, and what its message says: one row per step, in the
// order of the steps. A message names files by {path} (the world save), {temp} (its temp
// file), {backup} and {kept} (the file that holds what the failure kept), and the system's
// reason by {error}.
struct StepMeaning {
  PassFailure::Step step;
  bool newTextInPlace;  // the world save holds the pass's new text
  const char* name;     // the step's name where a program reports it to another
  // What the temp file holds that is kept, and the message tells of, as the name it is kept
  // under says it: "new" (the new text after a failed switch), "old" (the old save's text,
  // or what stood at the save's name), "other" (what another program wrote or left); none
  // where it holds only this pass's unfinished text, which goes.
  const char* kept;
  const char* message;
  const char* messageWithError;  // where the failure has a reason of the system, if other
};

inline constexpr StepMeaning kSteps[] = {
    {PassFailure::Step::kReadWorld, false, "read-worldsave", nullptr,
     "Cannot read the worldsave {path}\n{error}\nNothing was changed.", nullptr},
    {PassFailure::Step::kWriteTemp, false, "write-temp", nullptr,
     "Cannot write the temporary file {temp}\n{error}\nThe worldsave was not changed.", nullptr},
    {PassFailure::Step::kReplace, false, "replace", "new",
     "Cannot replace the worldsave {path}\n{error}\nThe worldsave was not changed. Its new text "
     "is in {kept}.",
     nullptr},
    {PassFailure::Step::kWriteBackup, false, "write-backup", nullptr,
     "Cannot write the backup {backup}\n{error}\nThe worldsave was not changed.", nullptr},
    {PassFailure::Step::kWorldChanged, false, "worldsave-changed", nullptr,
     "The worldsave {path} was changed by another program while Duskmend read it.\nIs the game "
     "server still running? Stop the server, then run this pass again.\nThe worldsave was not "
     "changed.",
     // the only reason it has: the world save is gone
     "The worldsave {path} was removed by another program while Duskmend read it.\nIs the game "
     "server still running? Stop the server, then run this pass again.\nThe worldsave was not "
     "changed."},
    {PassFailure::Step::kWorldChangedAtSwitch, true, "worldsave-changed", "other",
     "The worldsave {path} was changed by another program while Duskmend replaced it, and that "
     "program's file could not be put back ({error}).\nIt is in {kept}; the worldsave holds "
     "Duskmend's new text. Stop the server and look at both.",
     nullptr},
    {PassFailure::Step::kWorldRemovedAtSwitch, false, "worldsave-changed", "old",
     "The worldsave {path} was removed by another program while Duskmend replaced it.\nThe file "
     "that stood there before is in {kept}. Stop the server and look at it.",
     nullptr},
    {PassFailure::Step::kWrittenIntoNew, false, "worldsave-changed", "other",
     "The worldsave {path} was changed by another program while Duskmend replaced it, and it is "
     "as that program left it.\nThat program also wrote where Duskmend's new text stood "
     "meanwhile: what it wrote is in {kept}. Stop the server and look at both.",
     nullptr},
    {PassFailure::Step::kWrittenAtSwitch, true, "worldsave-changed", "old",
     "The worldsave {path} was changed by another program while Duskmend replaced it.\nWhat it "
     "held before is in {kept}; the worldsave holds Duskmend's new text. Stop the server and "
     "look at both.",
     "Duskmend could not tell whether another program changed the worldsave {path} while it was "
     "replaced ({error}).\nWhat it held before is in {kept}; the worldsave holds Duskmend's new "
     "text. Stop the server and look at both."},
    {PassFailure::Step::kWrittenAtSwitchLost, true, "worldsave-changed", "old",
     "The worldsave {path} was changed by another program while Duskmend replaced it, and what "
     "that program wrote could not be kept in {kept} ({error}).\nThe worldsave holds Duskmend's "
     "new text. Stop the server and look at it.",
     nullptr},
    {PassFailure::Step::kWorldReplacedAtSwitch, true, "worldsave-changed", "old",
     "Another program replaced or removed the worldsave {path} in the moment Duskmend replaced "
     "it: a file that it put there, if any, is lost.\nThe worldsave holds Duskmend's new text; "
     "what it held before is in {kept}. Is the server still running? Have it save the world "
     "again, then stop it.",
     "Another program replaced or removed the worldsave {path} in the moment Duskmend replaced "
     "it: a file that it put there, if any, is lost.\nThe worldsave holds Duskmend's new text; "
     "what it held before could not be kept in {kept} ({error}). Is the server still running? "
     "Have it save the world again, then stop it."},
};

// Each step's row stands at the step's place.
constexpr bool InStepOrder() {
  for (std::size_t i = 0; i < std::size(kSteps); ++i)
    if (static_cast<std::size_t>(kSteps[i].step) != i) return false;
  return std::size(kSteps) ==
         static_cast<std::size_t>(PassFailure::Step::kWorldReplacedAtSwitch) + 1;
}
static_assert(InStepOrder());

constexpr const StepMeaning& MeaningOf(PassFailure::Step step) {
  return kSteps[static_cast<std::size_t>(step)];
}

}  // namespace duskmend
