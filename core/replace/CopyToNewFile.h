#pragma once

#include <cstdint>
#include <string>
#include <system_error>

#include "FileSystem.h"

namespace duskmend {

class ProgressSink;

// Bytes copied between two yields.
inline constexpr std::uint64_t kCopyPiece = std::uint64_t{8} << 20;

// Copies the whole of `from` to a new file at `path`, with its permissions, a piece at a
// time, and durably where asked (its bytes and its name); a copy that fails is removed.
// `scratch`: the copy carries the mark of its name, so that a later pass removes it as its
// own (the copy of the new save at the temp path); a text kept for the operator carries none.
std::error_code CopyToNewFile(FileSystem& fs, ProgressSink& sink, FileHandle from,
                              const std::string& path, bool durable, bool scratch);

}  // namespace duskmend
