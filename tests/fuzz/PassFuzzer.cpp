// Feeds arbitrary bytes to the three passes, at a read size that the first byte picks, and
// holds their counts and their text to a model of the line rules written the plainest way.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "MemoryFileSystem.h"
#include "TestSupport.h"

namespace {

using duskmend::PassOutcome;
using duskmend::test::Harness;
using duskmend::test::MemoryFileSystem;

struct Expected {
  std::uint64_t lights = 0;
  std::uint64_t sectors = 0;
  std::string removed;
  std::string changed;
};

std::vector<std::string> Lines(const std::string& text) {
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

bool StartsWith(const std::string& line, const std::string& lower) {
  if (line.size() < lower.size()) return false;
  for (std::size_t i = 0; i < lower.size(); ++i) {
    char c = line[i] >= 'A' && line[i] <= 'Z' ? static_cast<char>(line[i] + 32) : line[i];
    if (c != lower[i]) return false;
  }
  return true;
}

Expected Model(const std::string& text, const std::string& value) {
  const std::vector<std::string> lines = Lines(text);
  Expected expected;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    const bool hasNext = i + 1 < lines.size();
    if (!StartsWith(line, "[sector") || !hasNext || !StartsWith(lines[i + 1], "locallight=")) {
      if (StartsWith(line, "[sector")) {
        ++expected.sectors;
        if (hasNext) {  // the line after a header is never a header itself
          expected.removed += line + "\r\n";
          expected.changed += line + "\r\n";
          ++i;
        }
      }
      expected.removed += lines[i] + "\r\n";
      expected.changed += lines[i] + "\r\n";
      continue;
    }
    ++expected.sectors;
    ++expected.lights;
    expected.changed += line + "\r\nLOCALLIGHT=" + value + "\r\n";
    const bool sectionGoesOn =
        i + 2 < lines.size() && !lines[i + 2].empty() && lines[i + 2][0] != '[';
    if (sectionGoesOn) expected.removed += line + "\r\n";
    ++i;
  }
  return expected;
}

void Check(bool good, const char* what) {
  if (good) return;
  std::fprintf(stderr, "the passes and the model disagree: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static const std::size_t kReadSizes[] = {1, 2, 3, 7, 16, 64, 4096};
  const std::size_t readSize = kReadSizes[data[0] % std::size(kReadSizes)];
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  const Expected expected = Model(text, "7");
  const std::string save = "sphereworld.scp";

  MemoryFileSystem fs;
  fs.Put(save, text);
  Harness h(fs);
  h.runner.SetReadSize(readSize);
  h.runner.SetWriteBufferSize(4096);  // large buffers cost a fresh mapping on every run
  h.recorder.keepsAlive = false;      // and a thread for each slow file call costs more
  h.dialogs.answer = "7";
  h.Load(save);
  Check(h.runner.AnalysisPass() == PassOutcome::kDone, "analysis failed");
  Check(h.model.LightsCount() == std::to_string(expected.lights), "analysis: local lights");
  Check(h.model.SectorsCount() == std::to_string(expected.sectors), "analysis: sectors");
  Check(fs.Get(save) == text, "analysis changed the save");

  Check(h.runner.RemovePass() == PassOutcome::kDone, "remove failed");
  Check(h.model.LightsCount() == std::to_string(expected.lights), "remove: local lights");
  Check(fs.Get(save) == expected.removed, "remove: the new save");
  Check(fs.Get(save + "tmp") == expected.removed, "remove: the temp file");

  fs.Put(save, text);
  Check(h.runner.ChangePass() == PassOutcome::kDone, "change failed");
  Check(h.model.SectorsCount() == std::to_string(expected.sectors), "change: sectors");
  Check(fs.Get(save) == expected.changed, "change: the new save");
  return 0;
}
