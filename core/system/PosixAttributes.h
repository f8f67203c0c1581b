#pragma once

#include <system_error>

namespace duskmend {

// Gives the file `to` exactly the extended attributes of `from`, access lists among them; the
// system sets a file's security label itself. Nothing to do where there are none.
std::error_code CopyAttributes(int from, int to);

}  // namespace duskmend
