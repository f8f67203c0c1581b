#include "LineReader.h"

#include <algorithm>
#include <cstring>

#include "LineEnds.h"
#include "LineFileFailure.h"
#include "PlainLineScan.h"

namespace duskmend {

LineReader::LineReader(FileSystem& fs, FileHandle file, std::size_t readSize, Cache cache)
    : fs_(fs),
      file_(file),
      readSize_(std::max<std::size_t>(readSize, 1)),
      cache_(cache),
      capacity_(std::max(readSize_, kMinCapacity)),
      buffer_(std::make_unique<char[]>(capacity_ + kScanPadding)) {}

// Moves the unconsumed bytes to the front and reads once; false at the end of the file.
bool LineReader::Fill() {
  if (eof_) return false;
  if (begin_ > 0) {
    std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  std::size_t want = std::min(readSize_, capacity_ - end_);
  std::size_t got = 0;
  if (std::error_code error = fs_.Read(file_, buffer_.get() + end_, want, got)) {
    throw LineFileFailure{LineFileFailure::Call::kRead, error};
  }
  if (got == 0) eof_ = true;
  if (cache_ == Cache::kForget && got > 0) fs_.Forget(file_, fileRead_, got);
  fileRead_ += got;
  end_ += got;
  return got > 0;
}

int LineReader::PeekByte() {
  while (begin_ == end_) {
    if (!Fill()) return -1;
  }
  return static_cast<unsigned char>(buffer_[begin_]);
}

std::string_view LineReader::PeekHead(std::size_t size) {
  while (end_ - begin_ < size && Fill()) {
  }
  return {buffer_.get() + begin_, std::min(size, end_ - begin_)};
}

LinePart LineReader::ReadLine() {
  inLine_ = true;
  return NextPart();
}

LinePart LineReader::Take(std::size_t length, std::size_t lineEnd, bool last) {
  LinePart part{std::string_view(buffer_.get() + begin_, length), last};
  begin_ += length + lineEnd;
  consumed_ += length + lineEnd;
  scanned_ = 0;
  inLine_ = !last;
  return part;
}

LinePart LineReader::NextPart() {
  for (;;) {
    const char* text = buffer_.get() + begin_;
    std::size_t size = end_ - begin_;
    std::size_t at = scanned_ + FindLineEnd(text + scanned_, size - scanned_);
    if (at < size && text[at] == '\n') return Take(at, 1, true);
    if (at + 1 < size) return Take(at, text[at + 1] == '\n' ? 2 : 1, true);  // a CR
    if (eof_) return at < size ? Take(at, 1, true) : Take(size, 0, true);
    // What lies before `at` is line text; a CR at the very end awaits the next byte.
    scanned_ = at;
    if (begin_ == 0 && end_ == capacity_) return Take(at, 0, false);
    Fill();
  }
}

PlainLines LineReader::ReadPlainLines(std::size_t limit) {
  PeekByte();  // reads when the buffer is empty
  const char* start = buffer_.get() + begin_;
  const PlainScan scan = ScanPlainLines(start, end_ - begin_, eof_, limit);
  begin_ += scan.taken;
  consumed_ += scan.taken;
  return {std::string_view(start, scan.taken), scan.count, scan.crLfOnly};
}

}  // namespace duskmend
