#pragma once

#include <cstdint>
#include <string>

#include "LineReader.h"
#include "LineWriter.h"
#include "SectorChoice.h"

namespace duskmend {

// What the remove and the change pass share: every line they keep is written as it was
// read, followed by CR LF; an entry of a sector that the choice leaves out is one of them.
class RewriteSteps {
 public:
  static constexpr bool kYieldsFirst = false;

  RewriteSteps(LineReader& reader, LineWriter& writer, SectorChoice& choice)
      : reader_(reader), writer_(writer), choice_(choice) {}

  void OnPlainLines(const PlainLines& lines) { writer_.WritePlainLines(lines); }
  // The entries that the pass removed or changed.
  std::uint64_t Changed() const { return changed_; }

 protected:
  // Copies a line; a sector header tells the choice which sector it opens.
  void CopyLine(LinePart first, bool header) {
    if (!header || choice_.ChoosesAll()) return writer_.CopyLine(reader_, first);
    std::string head;
    reader_.ForEachPart(first, [this, &head](std::string_view part) {
      writer_.Write(part);
      SectorChoice::KeepHead(head, part);
    });
    writer_.EndLine();
    choice_.Header(SectorChoice::SectorName(head));
  }

  LineReader& reader_;
  LineWriter& writer_;
  SectorChoice& choice_;
  std::uint64_t changed_ = 0;
};

}  // namespace duskmend
