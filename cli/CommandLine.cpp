#include "CommandLine.h"

#include <array>
#include <optional>

#include "SectorList.h"

const char kUsageText[] =
    "usage: duskmend-cli [--json] analysis FILE\n"
    "       duskmend-cli [--json] [--map N] [--sectors FILE] list FILE\n"
    "       duskmend-cli [--json] [--backup PATH] [--map N] [--sectors FILE] remove FILE\n"
    "       duskmend-cli [--json] [--backup PATH] [--map N] [--sectors FILE] change VALUE FILE\n"
    "\n"
    "Counts the sector headers and their light entries (LIGHT=, or LOCALLIGHT= in saves of\n"
    "Sphere 0.56a and older) in a Sphere world save (analysis), lists the entries (list: the\n"
    "line, the sector and the entry, apart by tabs, one line each; the counts go to stderr),\n"
    "rewrites the save without them (remove), or with VALUE in each, under its own key\n"
    "(change). Sphere reads light levels from 0 (bright) to 30 (dark).\n"
    "\n"
    "  --json         print the result as one JSON object\n"
    "  --backup PATH  keep the old save at PATH, which must not exist yet: on the save's\n"
    "                 file system another name of its file, elsewhere a copy\n"
    "  --map N        only the sectors of map N (the fourth number of [SECTOR x,y,z,N];\n"
    "                 a header of two numbers is map 0)\n"
    "  --sectors FILE only the sectors that FILE names, one a line: x,y,z,N as list\n"
    "                 prints them, or a line of list's output as it is\n"
    "  --help         print this text\n"
    "  --version      print the version\n"
    "  --             ends the options: a VALUE or FILE after it may begin with -\n"
    "                 (change -- -1 FILE)\n"
    "\n"
    "Exit status: 0 done, 1 the pass failed and the save holds its old text (or what another\n"
    "program made of it), 2 a usage error or a refusal, 3 the pass failed after the new text\n"
    "took the save's place, 128+N stopped by signal N.\n";

namespace {

struct PassWords {
  Pass pass;
  const char* name;
  std::size_t words;  // the pass's own word with its VALUE and FILE
};

constexpr std::array<PassWords, 4> kPasses = {{{Pass::kAnalysis, "analysis", 2},
                                               {Pass::kList, "list", 2},
                                               {Pass::kRemove, "remove", 2},
                                               {Pass::kChange, "change", 3}}};

CommandLine Usage(std::string why) {
  CommandLine line;
  line.ask = CommandLine::Ask::kUsageError;
  line.why = std::move(why);
  return line;
}

CommandLine Asking(CommandLine::Ask ask) {
  CommandLine line;
  line.ask = ask;
  return line;
}

// The operands after the options: the pass's word, VALUE and FILE.
CommandLine WithOperands(CommandLine line, const std::vector<std::string>& operands) {
  if (operands.empty()) return Usage("no pass given");
  std::optional<PassWords> named;
  for (const PassWords& pass : kPasses)
    if (operands[0] == pass.name) named = pass;
  if (!named) return Usage("unknown pass " + operands[0]);
  if (operands.size() < named->words) return Usage("missing FILE");
  if (operands.size() > named->words) return Usage("too many arguments");
  Command& command = line.command;
  command.pass = named->pass;
  if (!command.backup.empty() && !Rewrites(command.pass))
    return Usage("--backup is for remove and change");
  if (!command.choice.ChoosesAll() && command.pass == Pass::kAnalysis)
    return Usage("--map and --sectors are for list, remove and change");
  if (command.pass == Pass::kChange) command.value = operands[1];
  command.file = operands.back();
  return line;
}

}  // namespace

const char* PassName(Pass pass) {
  for (const PassWords& named : kPasses)
    if (named.pass == pass) return named.name;
  return "unknown";
}

CommandLine ParseCommandLine(const std::vector<std::string>& words) {
  CommandLine line;
  Command& command = line.command;
  std::vector<std::string> operands;
  bool options = true;
  bool mapped = false;
  for (std::size_t at = 0; at < words.size(); ++at) {
    const std::string& word = words[at];
    // The word after an option, or empty where there is none.
    auto next = [&] { return ++at < words.size() ? words[at] : std::string(); };
    if (!options || word.size() < 2 || word[0] != '-') {
      operands.push_back(word);
    } else if (word == "--") {
      options = false;
    } else if (word == "--help") {
      return Asking(CommandLine::Ask::kHelp);
    } else if (word == "--version") {
      return Asking(CommandLine::Ask::kVersion);
    } else if (word == "--json") {
      command.json = true;
    } else if (word == "--backup") {
      if (!command.backup.empty()) return Usage("--backup is given twice");
      command.backup = next();
      if (command.backup.empty()) return Usage("--backup needs a PATH");
    } else if (word == "--map") {
      if (mapped) return Usage("--map is given twice");
      const std::optional<std::uint64_t> map = duskmend::SectorChoice::MapNumber(next());
      if (!map) return Usage("--map needs a whole number N, the fourth number of a sector");
      mapped = true;
      command.choice.OnlyMap(*map);
    } else if (word == "--sectors") {
      if (!command.sectors.empty()) return Usage("--sectors is given twice");
      command.sectors = next();
      if (command.sectors.empty()) return Usage("--sectors needs a FILE");
      std::string why;
      const std::optional<std::vector<std::string>> lines = ReadSectorList(command.sectors, why);
      if (!lines) return Usage(why);
      command.choice.OnlyNamed(*lines);
    } else if (word[1] >= '0' && word[1] <= '9') {
      // A negative VALUE reads as an option unless "--" ends them.
      return Usage("unknown option " + word + "; for the VALUE " + word + ", write: change -- " +
                   word + " FILE");
    } else {
      return Usage("unknown option " + word);
    }
  }
  return WithOperands(std::move(line), operands);
}
