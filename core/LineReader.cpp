#include "LineReader.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "BlockMasks.h"
#include "LineEnds.h"
#include "LineKinds.h"
#include "PassFailure.h"

namespace duskmend {
namespace {

constexpr std::size_t kPadding = BlockMasks::kBlockBytes;

// The lowest `count` set bits of `bits`.
std::uint64_t LowestBits(std::uint64_t bits, int count) {
  std::uint64_t kept = 0;
  for (; count > 0 && bits != 0; --count) {
    kept |= bits & (~bits + 1);
    bits &= bits - 1;
  }
  return kept;
}

}  // namespace

LineReader::LineReader(FileSystem& fs, FileHandle file, std::size_t readSize, Cache cache)
    : fs_(fs),
      file_(file),
      readSize_(std::max<std::size_t>(readSize, 1)),
      cache_(cache),
      capacity_(std::max(readSize_, kMinCapacity)),
      buffer_(std::make_unique<char[]>(capacity_ + kPadding)) {}

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
    throw PassFailure{PassFailure::Step::kReadWorld, error};
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

// Whether a line starting at begin_ + at is a sector header, or might be one once more
// bytes have been read.
bool LineReader::MayBeSectorHeader(std::size_t at) const {
  std::size_t available = end_ - begin_ - at;
  if (available < kSectorPrefix.size() && !eof_) return true;
  return SectorHeaderLine(std::string_view(buffer_.get() + begin_ + at, available));
}

PlainLines LineReader::ReadPlainLines(std::size_t limit) {
  using Bits = std::uint64_t;
  constexpr std::size_t kBlock = BlockMasks::kBlockBytes;
  PeekByte();  // reads when the buffer is empty
  const char* start = buffer_.get() + begin_;
  const std::size_t size = end_ - begin_;
  PlainLines run;
  std::size_t taken = 0;
  Bits lineStartCarry = 1;  // bit 0 of the next block starts a line
  Bits crCarry = 0;         // the byte before the next block is a CR
  Bits lone = 0;            // lone CRs and lone LFs among the line ends taken
  for (std::size_t at = 0; at < size && run.count < limit; at += kBlock) {
    const char* block = start + at;
    const std::size_t n = std::min(kBlock, size - at);
    const Bits valid = n == kBlock ? ~Bits{0} : (Bits{1} << n) - 1;
    BlockMasks masks = BlockMasks::Of(block);
    const Bits cr = masks.cr & valid;
    const Bits lf = masks.lf & valid;
    Bits lfAfter = lf >> 1;
    if (at + kBlock < size && block[kBlock] == '\n') lfAfter |= Bits{1} << 63;
    Bits ends = lf | (cr & ~lfAfter);  // the last byte of every line end
    // A CR that is the last byte read may yet be followed by an LF.
    if (!eof_ && at + n == size) ends &= ~(cr & (Bits{1} << (n - 1)));
    const Bits starts = ((ends << 1) | lineStartCarry) & valid;
    const Bits loneEnds = (lf & ~((cr << 1) | crCarry)) | (ends & cr);
    lineStartCarry = ends >> 63;
    crCarry = cr >> 63;

    bool header = false;
    // Lines that start with "[s" or "[S"; the byte after bit 63 is not known here.
    const Bits headerLike = starts & masks.bracket & ((masks.letterS >> 1) | (Bits{1} << 63));
    for (Bits candidates = headerLike & valid; candidates != 0; candidates &= candidates - 1) {
      int bit = std::countr_zero(candidates);
      if (MayBeSectorHeader(at + static_cast<std::size_t>(bit))) {
        ends &= (Bits{1} << bit) - 1;
        header = true;
        break;
      }
    }
    std::size_t found = static_cast<std::size_t>(CountBits(ends));
    if (found > limit - run.count) {
      found = limit - run.count;
      ends = LowestBits(ends, static_cast<int>(found));
    }
    if (ends != 0) {
      taken = at + static_cast<std::size_t>(63 - std::countl_zero(ends)) + 1;
      run.count += found;
      lone |= loneEnds & ends;
    }
    if (header) break;
  }
  run.bytes = std::string_view(start, taken);
  run.crLfOnly = lone == 0;
  begin_ += taken;
  consumed_ += taken;
  return run;
}

}  // namespace duskmend
