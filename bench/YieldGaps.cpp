// duskmend-yieldgaps: runs a remove pass and measures the longest time in which it did not
// yield, from its start to its end: how long the window would stand still at worst.
//
//   duskmend-yieldgaps PATH
//
// Prints the longest gap and the whole pass in milliseconds, and where the gap began and
// ended.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>

#include "PassMessage.h"
#include "ProgressSink.h"
#include "SavePasses.h"

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration span) {
  return std::chrono::duration<double, std::milli>(span).count();
}

class GapSink : public duskmend::ProgressSink {
 public:
  void SetBarWidth(float) override {}
  void SetStatusText(const std::string& text) override { status_ = text; }
  void YieldToEvents() override { Mark("yield after " + status_); }
  void YieldToEventsAtEnd() override { Mark("end-of-pass yield " + std::to_string(++atEnd_)); }
  void KeepAlive() override { Mark("a wait after " + status_); }
  bool KeepsAlive() const override { return true; }
  void Mark(const std::string& where) {
    const Clock::time_point now = Clock::now();
    if (now - last_ > longest) {
      longest = now - last_;
      endedAt = "from " + lastWhere_ + " to " + where;
    }
    last_ = now;
    lastWhere_ = where;
  }
  Clock::duration longest{};
  std::string endedAt;

 private:
  Clock::time_point last_ = Clock::now();
  std::string status_ = "the start";
  std::string lastWhere_ = "the start";
  int atEnd_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: duskmend-yieldgaps PATH\n");
    return 2;
  }
  GapSink sink;
  const std::atomic<bool> never{false};
  duskmend::SavePasses passes(sink, never);
  const Clock::time_point start = Clock::now();
  const duskmend::PassResult result = passes.Remove(argv[1]);
  if (result.outcome != duskmend::PassOutcome::kDone) {
    std::fprintf(stderr, "%s\n", duskmend::PassMessage(result).c_str());
    return 1;
  }
  sink.Mark("the end");
  std::printf("%.1f %.1f %s\n", Milliseconds(sink.longest), Milliseconds(Clock::now() - start),
              sink.endedAt.c_str());
  return 0;
}
