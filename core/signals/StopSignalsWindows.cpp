// The requests to end the program on Windows: console control events.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <atomic>
#include <csignal>

#include "StopSignals.h"

namespace duskmend::stop_signals {
namespace {

std::atomic<int> caught{0};

BOOL WINAPI OnControl(DWORD event) {
  int none = 0;
  const int number = event == CTRL_C_EVENT       ? SIGINT
                     : event == CTRL_BREAK_EVENT ? SIGBREAK
                                                 : SIGTERM;
  caught.compare_exchange_strong(none, number);
  return TRUE;
}

}  // namespace

void Install() { SetConsoleCtrlHandler(OnControl, TRUE); }

int Caught() { return caught.load(); }

int WakeDescriptor() { return -1; }

void DrainWake() {}

}  // namespace duskmend::stop_signals
