// How a pass runs, apart from what it makes of the lines: what it refuses before touching a
// file, and when it yields and what it shows.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "Latin1.h"
#include "LineReader.h"
#include "TestSupport.h"

namespace duskmend::test {
namespace {

using Log = std::vector<std::string>;
using Pass = PassOutcome (PassRunner::*)();
const Pass kPasses[] = {&PassRunner::AnalysisPass, &PassRunner::RemovePass,
                        &PassRunner::ChangePass};

std::string Repeat(const std::string& line, int times) {
  std::string text;
  for (int i = 0; i < times; ++i)
    text += line;
  return text;
}

// Nothing loaded, or no usable value: refused before any file is touched, the window as it
// was. Only the exact marker means nothing loaded.
TEST(PassFlowTest, RefusalsComeBeforeAnyFileIsTouched) {
  // Each refusal by the beginning of its text: the texts in full are the command line's contract.
  const std::string kLoad = "Load a worldsave";
  const std::string kEmpty = "You have to enter a new value";
  const std::string kNotLatin1 = "The new value must be one line of Latin-1";
  const std::string kQuestion = "Change to what value? | Hey, Dude!";
  struct Refusal {
    std::string path, answer;
    Pass pass;
    std::string message;  // its beginning
    int style;
  } cases[] = {
      {kNothingLoaded, "5", &PassRunner::AnalysisPass, kLoad, 64},
      {kNothingLoaded, "5", &PassRunner::RemovePass, kLoad, 64},
      {kNothingLoaded, "5", &PassRunner::ChangePass, kLoad, 64},
      {"save", "", &PassRunner::ChangePass, kEmpty, 16},  // typed nothing, or cancelled
      {"save", "5\n", &PassRunner::ChangePass, kNotLatin1, 16},
      {"save", "\xFF", &PassRunner::ChangePass, kNotLatin1, 16},  // no UTF-8
      {" No Worldsave loaded...", "", &PassRunner::AnalysisPass, "Cannot read the worldsave ", 16},
  };
  TempDir dir;
  const std::string text = CrLf({"[SECTOR 1,1]", "LOCALLIGHT=5"});
  for (const Refusal& c : cases) {
    SCOPED_TRACE(c.path + ", " + c.answer);
    const std::string path = c.path == kNothingLoaded ? c.path : dir.Path(c.path);
    WriteFile(dir.Path("save"), text);
    ForwardingFileSystem fs;
    Harness h(fs);
    h.Load(path);
    h.dialogs.answer = c.answer;
    const bool refused = c.message != "Cannot read the worldsave ";
    EXPECT_EQ((h.runner.*c.pass)(), refused ? PassOutcome::kRefused : PassOutcome::kFailed);
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_TRUE(h.dialogs.messages[0].prompt.starts_with(c.message))
        << h.dialogs.messages[0].prompt;
    EXPECT_EQ(h.dialogs.messages[0].style, c.style);
    EXPECT_EQ(h.dialogs.messages[0].title, "Hey, Dude!");
    if (!refused) continue;
    EXPECT_EQ(h.dialogs.questions,
              c.answer == "5" ? std::vector<std::string>{} : std::vector<std::string>{kQuestion})
        << "the guard comes first";
    EXPECT_TRUE(fs.calls.empty()) << "no file is touched";
    EXPECT_TRUE(h.recorder.log.empty()) << "counts, status and bar keep their values";
    EXPECT_EQ(h.model.StatusText(), "Status bar ;)");
    EXPECT_EQ(h.model.BarWidth(), 6735.0f);
    EXPECT_EQ(ReadFile(dir.Path("save")), text);
    EXPECT_FALSE(Exists(dir.Path("savetmp")));
  }
}

// U+00E9, U+00A0 and U+00FF, the last one, convert; U+0100, the euro sign, a crescent moon, a
// sequence cut short, one without its continuation byte, an overlong one, lone continuation
// bytes, and line ends do not. A NUL byte is Latin-1.
TEST(PassFlowTest, TheNewValueIsOneLineOfLatin1) {
  const std::pair<std::string, std::string> good[] = {
      {"5", "5"},           {" dark", " dark"},   {"caf\xC3\xA9", "caf\xE9"},
      {"\xC2\xA0", "\xA0"}, {"\xC3\xBF", "\xFF"}, {std::string("a\0b", 3), std::string("a\0b", 3)}};
  for (const auto& [utf8, latin1] : good)
    EXPECT_EQ(Latin1Line(utf8), latin1) << utf8;
  for (const char* bad : {"\xC4\x80", "\xE2\x82\xAC", "\xF0\x9F\x8C\x99", "\xC3", "\xC3\x41",
                          "\xC1\xA9", "\xA9", "\x80", "5\r", "5\n6"})
    EXPECT_EQ(Latin1Line(bad), std::nullopt) << bad;
  EXPECT_EQ(Latin1Line(std::string_view("caf\xC3\xA9", 4)), std::nullopt) << "cut in a view";
}

// Every pass shows its progress in iteration 501 and every 500 after it (the analysis pass
// yields first, the rewriting passes last), then its counts; the rewriting passes also yield
// after closing both files, after the switch and after the copy.
TEST(PassFlowTest, ProgressComesInIteration501AndEvery500AfterIt) {
  struct Case {
    const char* name;
    std::string input;
    std::vector<std::pair<int, int>> steps;  // bar width and percentage
    int lights = 0;
    int sectors = 0;
  };
  const std::string header = "[SECTOR 1,1]\r\nLOCALLIGHT=1\r\n";
  const Case cases[] = {
      {"500 iterations", Repeat("A=1\r\n", 500), {}},
      {"1001 iterations", Repeat("A=1\r\n", 1001), {{3370, 50}, {6735, 100}}},
      // A header and its following line are one iteration: iteration 501 reads B=22.
      {"iterations, not lines",
       header + Repeat("A=1\r\n", 499) + "B=22\r\n" + Repeat("A=1\r\n", 100),
       {{5623, 83}},
       1,
       1},
      // Bytes read are the bytes consumed: lines without a CR LF never push the bar past full.
      {"LF line ends", Repeat("A=1\n", 501), {{6735, 100}}},
  };
  TempDir dir;
  const std::string save = dir.Path("sphereworld.scp");
  for (const Case& c : cases) {
    const std::string lights = "lights " + std::to_string(c.lights);
    const std::string sectors = "sectors " + std::to_string(c.sectors);
    for (std::size_t readSize : {std::size_t{7}, LineReader::kDefaultReadSize}) {
      for (Pass pass : kPasses) {
        const bool analysis = pass == &PassRunner::AnalysisPass;
        SCOPED_TRACE(std::string(c.name) + (analysis ? ", analysis" : ", rewriting") +
                     ", read size " + std::to_string(readSize));
        WriteFile(save, c.input);
        Harness h(SystemFileSystem(), {.read = readSize});
        h.dialogs.answer = "2";
        h.Load(save);
        ASSERT_EQ((h.runner.*pass)(), PassOutcome::kDone);
        // A rewriting pass over a save in which no entry would change reads it as the analysis
        // does, and leaves it.
        const bool reads = analysis || c.lights == 0;
        Log expected;
        for (const auto& [bar, percent] : c.steps) {
          if (analysis) expected.push_back("yield");
          expected.insert(expected.end(), {"bar " + std::to_string(bar),
                                           "status " + std::to_string(percent) + " %"});
          if (!analysis) expected.push_back("yield");
        }
        if (analysis) {
          expected.insert(expected.end(), {lights, sectors, "status 100% - Ready", "bar 6735"});
        } else {
          for (int yields = reads ? 1 : 3; yields > 0; --yields)
            expected.push_back("yield at end");
          expected.insert(expected.end(), {"status 100% - Ready", "bar 6735", lights, sectors});
        }
        EXPECT_EQ(h.recorder.log, expected);
      }
    }
  }
}

}  // namespace
}  // namespace duskmend::test
