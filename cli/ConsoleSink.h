#pragma once

#include <atomic>
#include <chrono>
#include <string>

#include "ProgressSink.h"

// Shows a pass's progress as a one-line bar on stderr when that is a terminal, and sets the
// pass's stop flag when the system asks the program to end.
class ConsoleSink : public duskmend::ProgressSink {
 public:
  // `stop` must outlive the sink.
  ConsoleSink(bool showProgress, std::atomic<bool>& stop);
  ~ConsoleSink() override;
  ConsoleSink(const ConsoleSink&) = delete;
  ConsoleSink& operator=(const ConsoleSink&) = delete;

  void SetBarWidth(float width) override;
  void SetStatusText(const std::string& text) override;
  void YieldToEvents() override;
  // Takes the bar off the terminal.
  void Clear();

  static constexpr int kBarCells = 40;
  static constexpr std::chrono::milliseconds kRedrawPeriod{200};

 private:
  void Draw();

  bool showProgress_;
  bool shown_ = false;  // a bar stands on the terminal's line
  float width_ = 0;
  std::string status_;
  std::chrono::steady_clock::time_point lastDrawn_{};
  std::atomic<bool>& stop_;
};
