// Feeds arbitrary bytes to the three passes, at a read size that the first byte picks, and
// holds their counts and their text to a model of the line rules written the plainest way.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "LineRulesModel.h"
#include "MemoryFileSystem.h"
#include "TestSupport.h"

namespace {

using duskmend::PassOutcome;
using duskmend::test::Harness;
using duskmend::test::MemoryFileSystem;
using duskmend::test::Model;
using duskmend::test::ModelPasses;

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
  const ModelPasses expected = Model(text, "7");
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
