// The requests to end the program on POSIX systems.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>

#include "StopSignals.h"

namespace duskmend::stop_signals {
namespace {

std::atomic<int> caught{0};
int wake[2] = {-1, -1};

// Only what is safe in a signal handler: an atomic store and a write.
void OnSignal(int number) {
  int none = 0;
  caught.compare_exchange_strong(none, number);
  if (wake[1] >= 0) {
    const char byte = 1;
    [[maybe_unused]] ssize_t ignored = write(wake[1], &byte, 1);
  }
}

}  // namespace

void Install() {
  if (wake[0] < 0 && pipe(wake) == 0) {
    for (int end : wake) {
      fcntl(end, F_SETFL, fcntl(end, F_GETFL) | O_NONBLOCK);
      fcntl(end, F_SETFD, FD_CLOEXEC);
    }
  }
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int number : {SIGINT, SIGTERM, SIGHUP})
    sigaction(number, &action, nullptr);
  signal(SIGXFSZ, SIG_IGN);
}

int Caught() { return caught.load(); }

int WakeDescriptor() { return wake[0]; }

void DrainWake() {
  char bytes[64];
  while (wake[0] >= 0 && read(wake[0], bytes, sizeof bytes) > 0) {
  }
}

}  // namespace duskmend::stop_signals
