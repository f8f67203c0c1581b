#pragma once

#include "LineReader.h"
#include "LineWriter.h"

namespace duskmend {

// What the remove and the change pass share: every line they keep is written as it was
// read, followed by CR LF.
class RewriteSteps {
 public:
  static constexpr bool kYieldsFirst = false;

  RewriteSteps(LineReader& reader, LineWriter& writer) : reader_(reader), writer_(writer) {}

  void OnPlainLines(const PlainLines& lines) { writer_.WritePlainLines(lines); }

 protected:
  LineReader& reader_;
  LineWriter& writer_;
};

}  // namespace duskmend
