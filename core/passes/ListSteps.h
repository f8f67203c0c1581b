#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "LightEntry.h"
#include "LineKinds.h"
#include "LineReader.h"

namespace duskmend {

// The list pass reads as the analysis does and hands every light entry, with its line and
// its sector, to `found` as soon as it is read; it writes nothing.
class ListSteps {
 public:
  static constexpr bool kYieldsFirst = true;

  ListSteps(LineReader& reader, std::function<void(const LightEntry&)> found)
      : reader_(reader), found_(std::move(found)) {}

  void OnPlainLines(const PlainLines& lines) { line_ += lines.count; }

  void OnCurrentLine(LinePart first, bool header) {
    ++line_;
    if (!header) return reader_.SkipRest(first);
    entry_.sector.clear();
    Keep(first, entry_.sector);
    // "[SECTOR 154,306,0,0]" names the sector "154,306,0,0".
    std::string& name = entry_.sector;
    name.erase(0, std::min(name.size(), kSectorPrefix.size()));
    if (name.starts_with(' ')) name.erase(0, 1);
    if (const std::size_t end = name.find(']'); end != std::string::npos) name.resize(end);
  }

  void OnLocalLight(LinePart first, LightKey, bool) {
    ++line_;
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

 private:
  // The line's first LightEntry::kMaxBytes bytes in `text`; the rest is read past.
  void Keep(LinePart first, std::string& text) {
    reader_.ForEachPart(first, [&text](std::string_view part) {
      text.append(
          part.substr(0, LightEntry::kMaxBytes - std::min(text.size(), LightEntry::kMaxBytes)));
    });
  }

  LineReader& reader_;
  std::function<void(const LightEntry&)> found_;
  std::uint64_t line_ = 0;  // the line last read, counted from 1
  LightEntry entry_;        // the sector of the last header, and the entry found after it
};

}  // namespace duskmend
