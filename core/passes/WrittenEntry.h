#pragma once

#include <string>

#include "LineKinds.h"

namespace duskmend {

// The line that the change pass writes for a light entry: its own key, "LOCALLIGHT=" or
// "LIGHT=", and the new value. The look that leaves a save untouched compares each entry with
// the very same line: were the two ever to differ, a save that should change would not.
class WrittenEntry {
 public:
  // `value` holds the new value as the bytes to write.
  explicit WrittenEntry(const std::string& value)
      : localLight_("LOCALLIGHT=" + value), light_("LIGHT=" + value) {}

  const std::string& For(LightKey key) const {
    return key == LightKey::kLocalLight ? localLight_ : light_;
  }

 private:
  std::string localLight_;
  std::string light_;
};

}  // namespace duskmend
