#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace duskmend {

// The sectors whose light entries a pass acts on: every one, or those of one map, or those
// that a list names, or those of both. A sector is told by the numbers of its header,
// "154,306,0,1" of [SECTOR 154,306,0,1] (blanks aside); the fourth is its map, and a header
// with two numbers is on map 0.
class SectorChoice {
 public:
  // A sector name is kept to this many bytes of its header, a listed entry to as many of its line.
  static constexpr std::size_t kMaxBytes = 4096;

  void OnlyMap(std::uint64_t map) { map_ = map; }
  // `names` as lines of a list: a sector's numbers, its header, or a line of the list pass
  // (line, sector and entry apart by tabs).
  void OnlyNamed(const std::vector<std::string>& lines);

  bool ChoosesAll() const { return !map_ && !named_; }
  // The sector that a header opens; the entries after it are chosen or not.
  void Header(std::string_view name);
  bool Chosen() const { return chosen_; }
  // The names of the list that no header of the save named, in the list's order.
  std::vector<std::string> Unseen() const;

  // Adds `part` of a line to `head`, up to kMaxBytes in all.
  static void KeepHead(std::string& head, std::string_view part) {
    head.append(part.substr(0, kMaxBytes - std::min(head.size(), kMaxBytes)));
  }
  // A map's number as a header or the operator writes it: a whole number of at most nine
  // digits; none where it is not one.
  static std::optional<std::uint64_t> MapNumber(const std::string& text);
  // "154,306,0,1" of the header "[SECTOR 154,306,0,1]", as the header writes it.
  static std::string SectorName(std::string_view header);

 private:
  std::optional<std::uint64_t> map_;
  std::optional<std::map<std::string, bool>> named_;  // each name, and whether a header named it
  std::vector<std::string> order_;                    // the names as the list gives them
  bool chosen_ = true;
};

}  // namespace duskmend
