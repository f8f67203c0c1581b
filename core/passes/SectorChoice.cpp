#include "SectorChoice.h"

#include <algorithm>

#include "LineKinds.h"

namespace duskmend {
namespace {

// The name without blanks, as two ways of writing one sector compare.
std::string Key(std::string_view name) {
  std::string key;
  for (char c : name) {
    if (c != ' ' && c != '\t') key += c;
  }
  return key;
}

// The map of a sector's key: its fourth number, or 0 where it has fewer; none where that is
// no whole number.
std::optional<std::uint64_t> MapOf(const std::string& key) {
  std::size_t at = 0;
  for (int commas = 0; commas < 3; ++commas) {
    at = key.find(',', at);
    if (at == std::string::npos) return 0;
    ++at;
  }
  return SectorChoice::MapNumber(key.substr(at, key.find(',', at) - at));
}

}  // namespace

std::optional<std::uint64_t> SectorChoice::MapNumber(const std::string& text) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  return std::stoull(text);
}

std::string SectorChoice::SectorName(std::string_view header) {
  std::string name(header.substr(std::min(header.size(), kSectorPrefix.size())));
  if (name.starts_with(' ')) name.erase(0, 1);
  if (const std::size_t end = name.find(']'); end != std::string::npos) name.resize(end);
  return name;
}

void SectorChoice::OnlyNamed(const std::vector<std::string>& lines) {
  named_.emplace();
  for (const std::string& line : lines) {
    std::string_view name = line;
    // A line of the list pass names its sector in its second field.
    if (const std::size_t tab = name.find('\t'); tab != std::string_view::npos) {
      name = name.substr(tab + 1);
      name = name.substr(0, name.find('\t'));
    }
    std::string key = Key(name);
    if (SectorHeaderLine(key)) key = Key(SectorName(key));
    if (key.empty()) continue;
    if (named_->emplace(key, false).second) order_.push_back(std::string(name));
  }
}

void SectorChoice::Header(std::string_view name) {
  if (ChoosesAll()) return;
  const std::string key = Key(name);
  chosen_ = !map_ || MapOf(key) == map_;
  if (named_) {
    auto named = named_->find(key);
    const bool listed = named != named_->end();
    if (listed) named->second = true;
    chosen_ = chosen_ && listed;
  }
}

std::vector<std::string> SectorChoice::Unseen() const {
  std::vector<std::string> unseen;
  if (!named_) return unseen;
  for (const std::string& name : order_) {
    std::string key = Key(name);
    if (SectorHeaderLine(key)) key = Key(SectorName(key));
    if (!named_->at(key)) unseen.push_back(name);
  }
  return unseen;
}

}  // namespace duskmend
