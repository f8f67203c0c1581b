#include "LineRulesModel.h"

namespace duskmend::test {
namespace {

bool StartsWith(const std::string& line, const std::string& lower) {
  if (line.size() < lower.size()) return false;
  for (std::size_t i = 0; i < lower.size(); ++i) {
    char c = line[i] >= 'A' && line[i] <= 'Z' ? static_cast<char>(line[i] + 32) : line[i];
    if (c != lower[i]) return false;
  }
  return true;
}

}  // namespace

std::vector<std::string> ModelLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') {
      line += text[i];
      continue;
    }
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    lines.push_back(line);
    line.clear();
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

ModelPasses Model(const std::string& text, const std::string& value) {
  const std::vector<std::string> lines = ModelLines(text);
  ModelPasses expected;
  const auto keep = [&expected](const std::string& line) {
    expected.removed += line + "\r\n";
    expected.changed += line + "\r\n";
  };
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (!StartsWith(line, "[sector")) {
      keep(line);
      continue;
    }
    ++expected.sectors;
    if (i + 1 == lines.size()) {
      keep(line);
      continue;
    }
    const std::string& next = lines[++i];  // never a header itself
    const std::string key = StartsWith(next, "locallight=") ? "LOCALLIGHT="
                            : StartsWith(next, "light=")    ? "LIGHT="
                                                            : "";
    if (key.empty()) {
      keep(line);
      keep(next);
      if (StartsWith(next, "flags=") && i + 1 < lines.size() &&
          StartsWith(lines[i + 1], "light=")) {
        ++expected.lights;
        expected.changed += "LIGHT=" + value + "\r\n";
        ++i;
      }
      continue;
    }
    ++expected.lights;
    expected.changed += line + "\r\n" + key + value + "\r\n";
    const bool sectionGoesOn =
        i + 1 < lines.size() && !lines[i + 1].empty() && lines[i + 1][0] != '[';
    if (sectionGoesOn) expected.removed += line + "\r\n";
  }
  return expected;
}

}  // namespace duskmend::test
