#pragma once

#include <cstdint>

#include "LineKinds.h"
#include "RewriteSteps.h"

namespace duskmend {

// The remove pass drops every light entry of a sector, of either key. The header goes with
// it when its section ends there; when a FLAGS= line stands before it or further keys of the
// section follow, the header stays, so that they do not fall to the section before it.
class RemoveSteps : public RewriteSteps {
 public:
  using RewriteSteps::RewriteSteps;

  // A header is written at once, whatever its length, and taken back when its entry drops it.
  void OnCurrentLine(LinePart first, bool header) {
    if (header) headerAt_ = writer_.Position();
    CopyLine(first, header);
  }

  void OnLocalLight(LinePart first, LightKey, bool afterFlags) {
    if (!choice_.Chosen()) return writer_.CopyLine(reader_, first);
    ++changed_;
    reader_.SkipRest(first);
    if (afterFlags) return;
    // The section goes on unless the file ends, or an empty line or a "[" line comes next.
    int next = reader_.PeekByte();
    if (next == -1 || next == '\r' || next == '\n' || next == '[') writer_.TakeBackTo(headerAt_);
  }

  void OnOtherFollowingLine(LinePart first) { writer_.CopyLine(reader_, first); }
  void OnNoFollowingLine() {}

 private:
  std::uint64_t headerAt_ = 0;  // where the last sector header begins in the temp file
};

}  // namespace duskmend
