#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "FileSystem.h"

namespace duskmend {

// A piece of a line, without its line end: the whole line, or one part of a line that is
// longer than the reader's buffer.
struct LinePart {
  std::string_view text;
  bool last = true;  // the line ends after this part
};

// Complete lines, none of them a sector header, taken from the buffer in one go.
struct PlainLines {
  std::string_view bytes;  // the lines with their line ends, exactly as read
  std::size_t count = 0;
  bool crLfOnly = true;  // every line in `bytes` ends in CR LF
};

// Reads a file as lines. A line ends at CR LF, at a lone CR or at a lone LF, or at the end
// of the file; a line end at the very end is not followed by an empty line. Lines of any
// length stream through a fixed buffer. Views that it hands out live until its next call.
// A failed read throws LineFileFailure.
class LineReader {
 public:
  static constexpr std::size_t kDefaultReadSize = std::size_t{256} * 1024;
  static constexpr std::size_t kMinCapacity = 16;

  // Whether the file's cache may go as soon as its bytes are read (a file that is replaced).
  enum class Cache { kKeep, kForget };

  // `readSize` is what one read asks of the file; the buffer holds at least kMinCapacity.
  LineReader(FileSystem& fs, FileHandle file, std::size_t readSize = kDefaultReadSize,
             Cache cache = Cache::kKeep);

  bool AtEnd() { return PeekByte() < 0; }
  // Starts the next line. Its first part is the whole line, or, for a line too long for the
  // buffer, at least its first kLineHeadBytes. Only when not at the end.
  LinePart ReadLine();
  // The next part of the current line; only after a part that was not the last.
  LinePart ReadMore() { return NextPart(); }
  // Hands `first` and the rest of its line to `take`, part by part.
  template <class Take>
  void ForEachPart(LinePart first, Take&& take) {
    for (;;) {
      take(first.text);
      if (first.last) return;
      first = ReadMore();
    }
  }
  void SkipRest(LinePart first) {
    while (!first.last)
      first = ReadMore();
  }
  // Up to `limit` lines that the buffer holds (it reads when empty): complete lines, up to
  // the first line that is or may be a sector header. Takes none when the next line is not
  // such a line.
  PlainLines ReadPlainLines(std::size_t limit);
  // The first byte of the next line, or -1 at the end of the file. Consumes nothing.
  int PeekByte();
  // The next `size` bytes (at most kMinCapacity), or all that are left; they may run past the
  // next line's end. Consumes nothing; only between lines.
  std::string_view PeekHead(std::size_t size);
  // Bytes consumed so far, line ends included.
  std::uint64_t Consumed() const { return consumed_; }

 private:
  bool Fill();
  LinePart NextPart();
  LinePart Take(std::size_t length, std::size_t lineEnd, bool last);

  FileSystem& fs_;
  FileHandle file_;
  std::size_t readSize_;
  Cache cache_;
  std::size_t capacity_;
  // capacity_ bytes, then one block of padding that whole-block scans may read.
  std::unique_ptr<char[]> buffer_;
  // Invariants: begin_ <= end_ <= capacity_; begin_ starts a line unless inLine_.
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  // Bytes of the pending part, from begin_, known to hold no line end.
  std::size_t scanned_ = 0;
  bool eof_ = false;
  bool inLine_ = false;
  std::uint64_t consumed_ = 0;
  std::uint64_t fileRead_ = 0;  // bytes read from the file so far
};

}  // namespace duskmend
