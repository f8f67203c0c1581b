#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>

#include "LineKinds.h"
#include "LineReader.h"
#include "ProgressSink.h"
#include "ScanCounts.h"

namespace duskmend {

// The loop that every pass runs over a world save.
//
// One iteration reads the current line and, when that is a sector header, the line after it
// (the following line); when that is a FLAGS= line and a LIGHT= entry comes next, the entry
// too. From the 501st iteration on, every 500th iteration takes a progress
// step after reading its current line: it shows the share of bytes read on the bar and as a
// percentage, and yields to the window. Each line goes to the pass's steps as soon as it is
// read, so that lines of any length stream through. `Steps` provides:
//
//   static constexpr bool kYieldsFirst   whether a progress step yields before or after it
//                                        sets the bar and the status text
//   OnPlainLines(const PlainLines&)      whole iterations whose current line is no header
//   OnCurrentLine(LinePart, bool header) the current line of any other iteration
//   OnLocalLight(LinePart, LightKey, bool afterFlags)
//                                        a light entry: the following line, or the line after
//                                        a FLAGS= following line
//   OnOtherFollowingLine(LinePart)       the following line, anything else
//   OnNoFollowingLine()                  a sector header that is the last line
//   bool Finished() const                (optional) true once the pass has seen enough: the
//                                        scan stops after the iteration that made it so
//
// Each step that is handed a LinePart consumes that line to its last part.
template <class Steps>
class ScanPass {
 public:
  static constexpr std::uint64_t kStepEvery = 500;

  // `yield` lets the window run; it throws PassStopped when the user stops the pass.
  ScanPass(LineReader& reader, ProgressSink& sink, std::uint64_t totalBytes,
           std::function<void()> yield, Steps& steps)
      : reader_(reader),
        sink_(sink),
        totalBytes_(static_cast<double>(totalBytes)),
        yield_(std::move(yield)),
        steps_(steps) {}

  ScanCounts Run() {
    while (!reader_.AtEnd() && !Finished()) {
      if (iterations_ < kStepEvery) {
        // Iterations without a header or a progress step, taken in bulk.
        PlainLines lines = reader_.ReadPlainLines(kStepEvery - iterations_);
        if (lines.count > 0) {
          steps_.OnPlainLines(lines);
          iterations_ += lines.count;
          continue;
        }
      }
      Iteration();
    }
    return counts_;
  }

 private:
  bool Finished() const {
    if constexpr (requires { steps_.Finished(); }) return steps_.Finished();
    return false;
  }

  void Iteration() {
    LinePart current = reader_.ReadLine();
    const bool header = SectorHeaderLine(current.text);
    steps_.OnCurrentLine(current, header);
    if (iterations_ >= kStepEvery) ProgressStep();
    if (header) {
      ++counts_.sectors;
      if (reader_.AtEnd()) {
        steps_.OnNoFollowingLine();
      } else {
        LinePart following = reader_.ReadLine();
        if (LocalLightLine(following.text)) {
          ++counts_.lights;
          steps_.OnLocalLight(following, LightKey::kLocalLight, false);
        } else if (LightLine(following.text)) {
          ++counts_.lights;
          steps_.OnLocalLight(following, LightKey::kLight, false);
        } else {
          const bool flags = FlagsLine(following.text);
          steps_.OnOtherFollowingLine(following);
          // Any other line after the flags is the next iteration's current line.
          if (flags && LightLine(reader_.PeekHead(kLightPrefix.size()))) {
            ++counts_.lights;
            steps_.OnLocalLight(reader_.ReadLine(), LightKey::kLight, true);
          }
        }
      }
    }
    ++iterations_;
  }

  void ProgressStep() {
    if constexpr (Steps::kYieldsFirst) yield_();
    double share = static_cast<double>(reader_.Consumed()) / totalBytes_;
    // Bytes read never pass the length taken at the start, unless the file grew since.
    if (!(share <= 1.0)) share = 1.0;
    sink_.SetBarWidth(static_cast<float>(std::floor(kFullBarWidth * share)));
    sink_.SetStatusText(std::to_string(static_cast<int>(std::floor(share * 100))) + " %");
    iterations_ = 0;
    if constexpr (!Steps::kYieldsFirst) yield_();
  }

  LineReader& reader_;
  ProgressSink& sink_;
  double totalBytes_;
  std::function<void()> yield_;
  Steps& steps_;
  std::uint64_t iterations_ = 0;  // since the last progress step
  ScanCounts counts_;
};

}  // namespace duskmend
