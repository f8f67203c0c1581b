#pragma once

#include <string>

#include "FileSystem.h"

namespace duskmend {

// Moves a text that a pass leaves at its temp path, and tells the operator of, to a name of its
// own beside the save that no pass ever writes: the save's name, what the text is and when it
// was kept (sphereworld.scp.old-20261209-193000). Returns that name; empty where the text could
// not be moved, and then the text loses its mark, so that no later pass takes it for its own.
// Nothing may hold the file open where the system renames no open files.
std::string KeepAside(FileSystem& fs, const std::string& tempPath, const std::string& target,
                      const std::string& what);

}  // namespace duskmend
