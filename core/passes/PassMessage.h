#pragma once

#include <string>

#include "PassResult.h"

namespace duskmend {

// The text that tells the user why a pass was refused or failed, where it left the save when
// it was stopped, or what went wrong after a pass that is done; empty when there is nothing to
// tell.
std::string PassMessage(const PassResult& result);

}  // namespace duskmend
