#pragma once

#include <chrono>
#include <future>
#include <system_error>
#include <utility>

#include "ProgressSink.h"

namespace duskmend {

// The longest the window stands still while a file call that can take long (the sync of a
// large file, on a slow disk) runs on a helper thread.
inline constexpr std::chrono::milliseconds kKeepAlivePeriod{20};

// Runs `call` on a helper thread and keeps the window alive until it returns its error. The
// sink's KeepAlive lets no pass start, so that nothing else calls the file system meanwhile.
template <class Call>
std::error_code WhileWaiting(ProgressSink& sink, Call call) {
  if (!sink.KeepsAlive()) return call();
  std::future<std::error_code> result;
  try {
    result = std::async(std::launch::async, call);
  } catch (const std::system_error&) {
    return call();  // no thread to be had: the window waits
  }
  while (result.wait_for(kKeepAlivePeriod) != std::future_status::ready)
    sink.KeepAlive();
  return result.get();
}

}  // namespace duskmend
