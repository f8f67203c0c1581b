#include "ConsoleSink.h"

#include <cstdio>

#include "StopSignals.h"

ConsoleSink::ConsoleSink(bool showProgress, std::atomic<bool>& stop)
    : showProgress_(showProgress), stop_(stop) {}

ConsoleSink::~ConsoleSink() { Clear(); }

void ConsoleSink::SetBarWidth(float width) { width_ = width; }

void ConsoleSink::SetStatusText(const std::string& text) { status_ = text; }

void ConsoleSink::YieldToEvents() {
  if (duskmend::stop_signals::Caught() != 0) stop_ = true;
  if (!showProgress_) return;
  const auto now = std::chrono::steady_clock::now();
  if (shown_ && now - lastDrawn_ < kRedrawPeriod) return;
  lastDrawn_ = now;
  Draw();
}

void ConsoleSink::Draw() {
  const int filled =
      static_cast<int>(width_ / static_cast<float>(duskmend::kFullBarWidth) * kBarCells);
  std::string bar(static_cast<std::size_t>(kBarCells), ' ');
  for (int i = 0; i < filled && i < kBarCells; ++i)
    bar[static_cast<std::size_t>(i)] = '#';
  std::fprintf(stderr, "\r[%s] %-12s", bar.c_str(), status_.c_str());
  std::fflush(stderr);
  shown_ = true;
}

void ConsoleSink::Clear() {
  if (!shown_) return;
  std::fprintf(stderr, "\r%*s\r", kBarCells + 16, "");
  std::fflush(stderr);
  shown_ = false;
}
