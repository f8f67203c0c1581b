#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "LineKinds.h"
#include "LineReader.h"
#include "SectorChoice.h"
#include "WrittenEntry.h"

namespace duskmend {

// Reads as the analysis does, and stops at the first light entry that a rewriting pass would
// change: for the remove pass any entry, for the change pass one that does not already read
// exactly as it would be written. A save without one is left untouched.
class ProbeSteps {
 public:
  static constexpr bool kYieldsFirst = false;  // the bar shows its share before the first yield

  // The remove pass's: every chosen entry goes.
  ProbeSteps(LineReader& reader, SectorChoice& choice) : reader_(reader), choice_(choice) {}
  // The change pass's, for `value` as the bytes to write.
  ProbeSteps(LineReader& reader, SectorChoice& choice, const std::string& value)
      : reader_(reader), choice_(choice), written_(value) {}

  void OnPlainLines(const PlainLines&) {}
  void OnCurrentLine(LinePart first, bool header) {
    if (!header || choice_.ChoosesAll()) return reader_.SkipRest(first);
    std::string head;
    reader_.ForEachPart(first,
                        [&head](std::string_view part) { SectorChoice::KeepHead(head, part); });
    choice_.Header(SectorChoice::SectorName(head));
  }
  void OnOtherFollowingLine(LinePart first) { reader_.SkipRest(first); }
  void OnNoFollowingLine() {}

  void OnLocalLight(LinePart first, LightKey key, bool) {
    if (!choice_.Chosen()) return reader_.SkipRest(first);
    if (!written_) {
      wouldChange_ = true;
      return reader_.SkipRest(first);
    }
    const std::string_view wanted = written_->For(key);
    std::size_t at = 0;  // bytes of the line compared so far
    bool same = true;
    reader_.ForEachPart(first, [&](std::string_view part) {
      same = same && part.size() <= wanted.size() - at && wanted.substr(at, part.size()) == part;
      if (same) at += part.size();
    });
    wouldChange_ = !same || at != wanted.size();
  }
  bool Finished() const { return wouldChange_; }
  bool WouldChange() const { return wouldChange_; }

 private:
  LineReader& reader_;
  SectorChoice& choice_;
  std::optional<WrittenEntry> written_;  // where entries are changed rather than removed
  bool wouldChange_ = false;
};

}  // namespace duskmend
