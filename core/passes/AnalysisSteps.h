#pragma once

#include "LineKinds.h"
#include "LineReader.h"

namespace duskmend {

// The analysis pass reads and counts; it writes nothing.
class AnalysisSteps {
 public:
  static constexpr bool kYieldsFirst = true;

  explicit AnalysisSteps(LineReader& reader) : reader_(reader) {}

  void OnPlainLines(const PlainLines&) {}
  void OnCurrentLine(LinePart first, bool) { reader_.SkipRest(first); }
  void OnLocalLight(LinePart first, LightKey, bool) { reader_.SkipRest(first); }
  void OnOtherFollowingLine(LinePart first) { reader_.SkipRest(first); }
  void OnNoFollowingLine() {}

 private:
  LineReader& reader_;
};

}  // namespace duskmend
