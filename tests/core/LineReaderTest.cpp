#include "LineReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LineKinds.h"
#include "OpenFile.h"
#include "PassFailure.h"
#include "TestSupport.h"

namespace duskmend::test {
namespace {

// The line rules written out in the plainest way: CR LF, a lone CR or a lone LF ends a
// line; the rest after the last line end is one more line, if it is not empty.
std::vector<std::string> ModelLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      lines.push_back(line);
      line.clear();
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      line += text[i];
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

const std::vector<std::size_t> kReadSizes = {1, 2, 7, 16, 64, LineReader::kDefaultReadSize};

const std::vector<std::string> kInputs = {
    "",
    "a",
    "a\r\n",
    "a\r",
    "a\n",
    "\r\n",
    "\r\n\r\n",
    "\n\r",
    "\r\r\n",
    "a\r\nb",
    "a\n\rb\r\r\n\nc",
    std::string("nul\0byte\r\n\xff\xfe\r\n", 14),
    std::string(100, 'x') + "\r\n" + std::string(40, 'y'),
    std::string(63, 'a') + "\r\nb\r\n",                  // CR LF across a 64-byte block
    std::string(63, 'a') + "\r" + std::string(70, 'b'),  // lone CR at the end of a block
    std::string(62, 'a') + "\n[SECTOR 1,1]\r\nx\r\n",    // "[" at the end of a block
    std::string(63, 'a') + "\n[Sector 1,1]\nLOCALLIGHT=1\n",
    "[SECTOR 1,1]\r\nLOCALLIGHT=5\r\n[SECTOR 2,2]\r\nA=1\r\n[sect\r\n[SECTORS]",
    "x\r\n[s\r\n[SECTO\r\n[SECTOR",
};

struct ReadResult {
  std::vector<std::string> lines;
  std::uint64_t consumed = 0;
};

// Reads `text` line by line, every line through ReadLine and ReadMore.
ReadResult ReadSlowly(const std::string& path, std::size_t readSize) {
  OpenFile file(SystemFileSystem(), path, OpenMode::kRead, PassFailure::Step::kReadWorld);
  LineReader reader(SystemFileSystem(), file.Handle(), readSize);
  ReadResult result;
  while (!reader.AtEnd()) {
    LinePart part = reader.ReadLine();
    std::string line;
    EXPECT_TRUE(part.last || part.text.size() >= kLineHeadBytes) << "a first part shows the head";
    reader.ForEachPart(part, [&](std::string_view text) { line += text; });
    result.lines.push_back(line);
  }
  result.consumed = reader.Consumed();
  return result;
}

// Reads as a pass does: plain lines in bulk where the reader offers them, else one line.
ReadResult ReadInBulk(const std::string& path, std::size_t readSize, std::size_t limit) {
  OpenFile file(SystemFileSystem(), path, OpenMode::kRead, PassFailure::Step::kReadWorld);
  LineReader reader(SystemFileSystem(), file.Handle(), readSize);
  ReadResult result;
  while (!reader.AtEnd()) {
    PlainLines run = reader.ReadPlainLines(limit);
    if (run.count == 0) {
      std::string line;
      reader.ForEachPart(reader.ReadLine(), [&](std::string_view text) { line += text; });
      result.lines.push_back(line);
      continue;
    }
    std::string bytes(run.bytes);
    std::vector<std::string> lines = ModelLines(bytes);
    EXPECT_LE(run.count, limit);
    EXPECT_EQ(lines.size(), run.count);
    EXPECT_EQ(run.crLfOnly, bytes == CrLf(lines)) << "crLfOnly for " << bytes;
    EXPECT_TRUE(bytes.back() == '\r' || bytes.back() == '\n') << "only complete lines";
    for (const std::string& line : lines) {
      EXPECT_FALSE(SectorHeaderLine(line)) << "a header is never a plain line";
      result.lines.push_back(line);
    }
  }
  result.consumed = reader.Consumed();
  return result;
}

TEST(LineReaderTest, SplitsEveryInputAtEveryReadSizeAsTheLineRulesSay) {
  TempDir dir;
  const std::string path = dir.Path("save.scp");
  for (const std::string& input : kInputs) {
    WriteFile(path, input);
    const std::vector<std::string> expected = ModelLines(input);
    for (std::size_t readSize : kReadSizes) {
      SCOPED_TRACE("input \"" + input + "\", read size " + std::to_string(readSize));
      ReadResult slow = ReadSlowly(path, readSize);
      EXPECT_EQ(slow.lines, expected);
      EXPECT_EQ(slow.consumed, input.size()) << "every byte is consumed, line ends included";
      for (std::size_t limit : {std::size_t{1}, std::size_t{3}, std::size_t{500}}) {
        ReadResult bulk = ReadInBulk(path, readSize, limit);
        EXPECT_EQ(bulk.lines, expected) << "limit " << limit;
        EXPECT_EQ(bulk.consumed, input.size());
      }
    }
  }
}

}  // namespace
}  // namespace duskmend::test
