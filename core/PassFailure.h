#pragma once

#include <system_error>

namespace duskmend {

// A file step of a pass that failed. The pass ends, and the world save keeps its old text.
struct PassFailure {
  enum class Step {
    kReadWorld,
    kWriteTemp,
    kReplace,
    kWorldChanged,  // another program changed the world save while the pass read it
    // another program put its save in place at the moment of the switch, and its file could
    // not be put back: it is at the temp path, and the world save holds the new text
    kWorldChangedAtSwitch,
  };
  Step step;
  std::error_code error;
};

}  // namespace duskmend

namespace duskmend {

// Thrown at a yield when the user asked the running pass to stop.
struct PassStopped {};

}  // namespace duskmend
