#pragma once

#include <system_error>

namespace duskmend {

// A read or a write of a file of lines that failed, with the system's reason. What the file
// was to the pass is the pass's to say.
struct LineFileFailure {
  enum class Call { kRead, kWrite };
  Call call;
  std::error_code error;
};

}  // namespace duskmend
