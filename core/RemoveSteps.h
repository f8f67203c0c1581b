#pragma once

#include <string>

#include "RewriteSteps.h"

namespace duskmend {

// The remove pass drops every local-light entry that follows a sector header. The header
// goes with it when its section ends there; when further keys of the section follow, the
// header stays, so that they do not fall to the section before it.
class RemoveSteps : public RewriteSteps {
 public:
  using RewriteSteps::RewriteSteps;

  void OnCurrentLine(LinePart first, bool header) {
    if (!header) return writer_.CopyLine(reader_, first);
    header_.clear();  // held until the following line decides its fate
    reader_.ForEachPart(first, [this](std::string_view text) { header_.append(text); });
  }

  void OnLocalLight(LinePart first) {
    reader_.SkipRest(first);
    // The section goes on unless the file ends, or an empty line or a "[" line comes next.
    int next = reader_.PeekByte();
    if (next != -1 && next != '\r' && next != '\n' && next != '[') writer_.WriteLine(header_);
  }

  void OnOtherFollowingLine(LinePart first) {
    writer_.WriteLine(header_);
    writer_.CopyLine(reader_, first);
  }

  void OnNoFollowingLine() { writer_.WriteLine(header_); }

 private:
  std::string header_;
};

}  // namespace duskmend
