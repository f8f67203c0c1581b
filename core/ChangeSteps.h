#pragma once

#include <string>

#include "RewriteSteps.h"

namespace duskmend {

// The change pass writes every local-light entry that follows a sector header as
// "LOCALLIGHT=" and the new value, and every other line as it was.
class ChangeSteps : public RewriteSteps {
 public:
  // `value` holds the new value as the bytes to write.
  ChangeSteps(LineReader& reader, LineWriter& writer, const std::string& value)
      : RewriteSteps(reader, writer), entry_("LOCALLIGHT=" + value) {}

  void OnCurrentLine(LinePart first, bool) { writer_.CopyLine(reader_, first); }

  void OnLocalLight(LinePart first) {
    reader_.SkipRest(first);
    writer_.WriteLine(entry_);
  }

  void OnOtherFollowingLine(LinePart first) { writer_.CopyLine(reader_, first); }
  void OnNoFollowingLine() {}

 private:
  std::string entry_;
};

}  // namespace duskmend
