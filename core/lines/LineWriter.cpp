#include "LineWriter.h"

#include <algorithm>
#include <cstring>

#include "LineEnds.h"
#include "LineFileFailure.h"

namespace duskmend {
namespace {

void ThrowIfFailed(std::error_code error) {
  if (error) throw LineFileFailure{LineFileFailure::Call::kWrite, error};
}

}  // namespace

LineWriter::LineWriter(FileSystem& fs, FileHandle file, std::size_t bufferSize)
    : fs_(fs),
      file_(file),
      capacity_(std::max<std::size_t>(bufferSize, 2)),
      buffer_(std::make_unique<char[]>(capacity_)) {}

void LineWriter::Write(std::string_view bytes) {
  if (bytes.size() > capacity_ - used_) {
    Flush();
    if (bytes.size() >= capacity_) {
      ThrowIfFailed(fs_.Write(file_, bytes.data(), bytes.size()));
      flushed_ += bytes.size();
      return;
    }
  }
  std::memcpy(buffer_.get() + used_, bytes.data(), bytes.size());
  used_ += bytes.size();
}

void LineWriter::WritePlainLines(const PlainLines& lines) {
  if (lines.crLfOnly) return Write(lines.bytes);
  std::string_view rest = lines.bytes;
  while (!rest.empty()) {
    // Every line here is complete, so a CR at the very end is a lone CR.
    std::size_t at = FindLineEnd(rest.data(), rest.size());
    WriteLine(rest.substr(0, at));
    bool crLf = rest[at] == '\r' && at + 1 < rest.size() && rest[at + 1] == '\n';
    rest.remove_prefix(at + (crLf ? 2 : 1));
  }
}

void LineWriter::CopyLine(LineReader& reader, LinePart first) {
  reader.ForEachPart(first, [this](std::string_view text) { Write(text); });
  EndLine();
}

void LineWriter::Flush() {
  if (used_ == 0) return;
  std::size_t size = used_;
  used_ = 0;
  ThrowIfFailed(fs_.Write(file_, buffer_.get(), size));
  flushed_ += size;
  if (flushed_ - writtenBack_ >= kWriteBackEvery) {
    fs_.StartWriteBack(file_, writtenBack_, flushed_ - writtenBack_);
    writtenBack_ = flushed_;
  }
}

void LineWriter::TakeBackTo(std::uint64_t position) {
  if (position >= flushed_) {
    used_ = static_cast<std::size_t>(position - flushed_);
    return;
  }
  used_ = 0;
  ThrowIfFailed(fs_.Truncate(file_, position));
  flushed_ = position;
  writtenBack_ = std::min(writtenBack_, position);
}

}  // namespace duskmend
