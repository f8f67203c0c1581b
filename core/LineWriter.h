#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include "FileSystem.h"
#include "LineReader.h"

namespace duskmend {

// Writes lines to a file through a buffer, each followed by CR LF.
// A failed write throws PassFailure.
class LineWriter {
 public:
  static constexpr std::size_t kDefaultBufferSize = std::size_t{1024} * 1024;

  LineWriter(FileSystem& fs, FileHandle file, std::size_t bufferSize = kDefaultBufferSize);

  void Write(std::string_view bytes);
  void EndLine() { Write("\r\n"); }
  void WriteLine(std::string_view text) {
    Write(text);
    EndLine();
  }
  // Writes lines as they were read, each now ended by CR LF whatever ended it before.
  void WritePlainLines(const PlainLines& lines);
  // Writes `first` and the rest of its line as the reader hands it out, then CR LF.
  void CopyLine(LineReader& reader, LinePart first);
  // Hands everything written so far to the file.
  void Flush();

 private:
  FileSystem& fs_;
  FileHandle file_;
  std::size_t capacity_;
  std::unique_ptr<char[]> buffer_;
  std::size_t used_ = 0;
};

}  // namespace duskmend
