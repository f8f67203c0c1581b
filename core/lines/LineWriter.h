#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "FileSystem.h"
#include "LineReader.h"

namespace duskmend {

// Writes lines to a file through a buffer, each followed by CR LF, and starts the disk's
// write-back every few MiB so that the final sync has little left to do. A failed write
// throws LineFileFailure. The file's position must be where the writer's text begins.
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
  // Bytes written so far, buffered ones included.
  std::uint64_t Position() const { return flushed_ + used_; }
  // Takes back everything written from `position` on, from the buffer or from the file.
  void TakeBackTo(std::uint64_t position);

  static constexpr std::uint64_t kWriteBackEvery = std::uint64_t{8} << 20;

 private:
  FileSystem& fs_;
  FileHandle file_;
  std::size_t capacity_;
  std::unique_ptr<char[]> buffer_;
  std::size_t used_ = 0;
  std::uint64_t flushed_ = 0;      // bytes handed to the file
  std::uint64_t writtenBack_ = 0;  // bytes whose write-back has been started
};

}  // namespace duskmend
