#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace duskmend::test {

// The line rules written out in the plainest way: CR LF, a lone CR or a lone LF ends a
// line; the rest after the last line end is one more line, if it is not empty.
std::vector<std::string> ModelLines(const std::string& text);

// What the three passes make of a save, by the same rules.
struct ModelPasses {
  std::uint64_t lights = 0;
  std::uint64_t sectors = 0;
  std::string removed;  // the save after the remove pass
  std::string changed;  // after the change pass to `value`
};
ModelPasses Model(const std::string& text, const std::string& value);

}  // namespace duskmend::test
