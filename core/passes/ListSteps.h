#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "LightEntry.h"
#include "LineKinds.h"
#include "LineReader.h"
#include "SectorChoice.h"

namespace duskmend {

// The list pass reads as the analysis does and hands every light entry, with its line and
// its sector, to `found` as soon as it is read; it writes nothing.
class ListSteps {
 public:
  static constexpr bool kYieldsFirst = true;

  ListSteps(LineReader& reader, SectorChoice& choice, std::function<void(const LightEntry&)> found)
      : reader_(reader), choice_(choice), found_(std::move(found)) {}

  void OnPlainLines(const PlainLines& lines) { line_ += lines.count; }

  void OnCurrentLine(LinePart first, bool header) {
    ++line_;
    if (!header) return reader_.SkipRest(first);
    std::string text;
    Keep(first, text);
    // "[SECTOR 154,306,0,0]" names the sector "154,306,0,0".
    entry_.sector = SectorChoice::SectorName(text);
    choice_.Header(entry_.sector);
  }

  void OnLocalLight(LinePart first, LightKey, bool) {
    ++line_;
    if (!choice_.Chosen()) return reader_.SkipRest(first);
    ++listed_;
    std::string text;
    Keep(first, text);
    const std::size_t equals = text.find('=');  // a light line always holds one
    entry_.line = line_;
    entry_.key = text.substr(0, equals);
    entry_.value = text.substr(equals + 1);
    found_(entry_);
  }

  void OnOtherFollowingLine(LinePart first) {
    ++line_;
    reader_.SkipRest(first);
  }
  void OnNoFollowingLine() {}

  // The entries handed on.
  std::uint64_t Changed() const { return listed_; }

 private:
  // The line's first SectorChoice::kMaxBytes bytes in `text`; the rest is read past.
  void Keep(LinePart first, std::string& text) {
    reader_.ForEachPart(first,
                        [&text](std::string_view part) { SectorChoice::KeepHead(text, part); });
  }

  LineReader& reader_;
  SectorChoice& choice_;
  std::function<void(const LightEntry&)> found_;
  std::uint64_t listed_ = 0;
  std::uint64_t line_ = 0;  // the line last read, counted from 1
  LightEntry entry_;        // the sector of the last header, and the entry found after it
};

}  // namespace duskmend
