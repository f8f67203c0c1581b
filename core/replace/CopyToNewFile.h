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
// `scratch`: the copy is Duskmend's own, to be removed by a later pass, and carries the mark
// of its name; else it is a text kept for the operator.
std::error_code CopyToNewFile(FileSystem& fs, ProgressSink& sink, FileHandle from,
                              const std::string& path, bool durable, bool scratch);

}  // namespace duskmend
