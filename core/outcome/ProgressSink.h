#pragma once

#include <string>

namespace duskmend {

// What a running pass needs of the window to show its progress.
class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  // Width of the progress bar in twips; the full bar is kFullBarWidth.
  virtual void SetBarWidth(float width) = 0;
  virtual void SetStatusText(const std::string& text) = 0;
  // Lets the window handle every pending event, commands included, then returns.
  virtual void YieldToEvents() = 0;
  // The same at the end of a rewriting pass, where a stop decides whether the world save is
  // replaced: a sink that skips some yields to save time must not skip these.
  virtual void YieldToEventsAtEnd() { YieldToEvents(); }
  // Lets the window paint and take commands while a slow file call runs on another thread;
  // a stop asked for here is seen at the next yield.
  virtual void KeepAlive() {}
  // Whether slow file calls go to another thread at all: a sink that shows nothing while
  // they run lets them run on the pass's own.
  virtual bool KeepsAlive() const { return false; }
};

inline constexpr int kFullBarWidth = 6735;

// Thrown at a yield when the user asked the running pass to stop.
struct PassStopped {};

}  // namespace duskmend
