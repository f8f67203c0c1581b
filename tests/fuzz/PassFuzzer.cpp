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
