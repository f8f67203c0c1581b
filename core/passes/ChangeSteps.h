#pragma once

#include <string>

#include "LineKinds.h"
#include "RewriteSteps.h"
#include "WrittenEntry.h"

namespace duskmend {

// The change pass writes every light entry of a sector with its own key, "LOCALLIGHT=" or
// "LIGHT=", and the new value, and every other line as it was.
class ChangeSteps : public RewriteSteps {
 public:
  // `value` holds the new value as the bytes to write.
  ChangeSteps(LineReader& reader, LineWriter& writer, SectorChoice& choice,
              const std::string& value)
      : RewriteSteps(reader, writer, choice), written_(value) {}

  void OnCurrentLine(LinePart first, bool header) { CopyLine(first, header); }

  void OnLocalLight(LinePart first, LightKey key, bool) {
    if (!choice_.Chosen()) return writer_.CopyLine(reader_, first);
    ++changed_;
    reader_.SkipRest(first);
    writer_.WriteLine(written_.For(key));
  }

  void OnOtherFollowingLine(LinePart first) { writer_.CopyLine(reader_, first); }
  void OnNoFollowingLine() {}

 private:
  WrittenEntry written_;
};

}  // namespace duskmend
