// duskmend-cli: the passes of Duskmend for servers without a desktop.
//
//   duskmend-cli [--json] analysis FILE
//   duskmend-cli [--json] list FILE
//   duskmend-cli [--json] [--backup PATH] remove FILE
//   duskmend-cli [--json] [--backup PATH] change VALUE FILE
//
// Exits with 0 when the pass is done, 1 when it failed and the save does not hold the new text,
// 2 on a usage error or a refusal, 3 when it failed after the new text took the save's place,
// and 128 + the signal's number when a signal stopped it.
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "Console.h"
#include "ConsoleSink.h"
#include "EntryPrinter.h"
#include "JsonText.h"
#include "LightValue.h"
#include "PassMessage.h"
#include "SavePasses.h"
#include "SectorChoice.h"
#include "SectorList.h"
#include "StopSignals.h"

namespace {

using duskmend::PassOutcome;

constexpr int kDone = 0, kFailed = 1, kUsage = 2, kFailedWithNewText = 3;

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

struct Command {
  std::string pass;
  std::string value;
  std::string file;
  std::string backup;
  bool json = false;
  duskmend::SectorChoice choice;  // the sectors that --map and --sectors name
  std::string sectors;            // the --sectors FILE
  bool mapped = false;            // --map given
};

int UsageError(const std::string& why) {
  std::cerr << "duskmend-cli: " << why << "\n" << kUsageText;
  return kUsage;
}

std::string StepName(duskmend::PassFailure::Step step) {
  switch (step) {
    case duskmend::PassFailure::Step::kReadWorld:
      return "read-worldsave";
    case duskmend::PassFailure::Step::kWriteTemp:
      return "write-temp";
    case duskmend::PassFailure::Step::kWriteBackup:
      return "write-backup";
    case duskmend::PassFailure::Step::kReplace:
      return "replace";
    case duskmend::PassFailure::Step::kWorldChanged:
    case duskmend::PassFailure::Step::kWorldChangedAtSwitch:
    case duskmend::PassFailure::Step::kWorldRemovedAtSwitch:
    case duskmend::PassFailure::Step::kWrittenIntoNew:
    case duskmend::PassFailure::Step::kWrittenAtSwitch:
    case duskmend::PassFailure::Step::kWrittenAtSwitchLost:
    case duskmend::PassFailure::Step::kWorldReplacedAtSwitch:
      return "worldsave-changed";
  }
  return "unknown";
}

const char* SaveTextName(duskmend::SaveText text) {
  switch (text) {
    case duskmend::SaveText::kOld:
      return "old";
    case duskmend::SaveText::kNew:
      return "new";
    case duskmend::SaveText::kNone:
      return "none";
  }
  return "unknown";
}

const char* OutcomeName(PassOutcome outcome) {
  switch (outcome) {
    case PassOutcome::kDone:
      return "done";
    case PassOutcome::kRefused:
    case PassOutcome::kBusy:
      return "refused";
    case PassOutcome::kFailed:
      return "failed";
    case PassOutcome::kStopped:
      return "stopped";
  }
  return "unknown";
}

duskmend::PassResult RunPass(const Command& command, ConsoleSink& sink,
                             const std::atomic<bool>& stop) {
  duskmend::SavePasses passes(sink, stop);
  if (command.pass == "analysis") return passes.Analysis(command.file);
  if (command.pass == "list") {
    return passes.List(command.file, EntryPrinter(command.json), command.choice);
  }
  if (command.pass == "remove") return passes.Remove(command.file, command.backup, command.choice);
  const std::optional<std::string> value = console::TextAsUtf8(command.value);
  if (value) return passes.Change(command.file, *value, command.backup, command.choice);
  // Not text at all in the system's encoding, let alone Latin-1.
  duskmend::PassResult refused;
  refused.outcome = PassOutcome::kRefused;
  refused.path = command.file;
  refused.refusal =
      duskmend::PassRefusal(duskmend::PassRefusal::Reason::kValueNotText, console::CharacterSet());
  return refused;
}

int Run(const Command& command) {
  duskmend::stop_signals::Install();
  std::atomic<bool> stop{false};
  ConsoleSink sink(!command.json && console::ErrorsShowOnATerminal(), stop);
  const bool list = command.pass == "list";
  // The entries of a list go out as they are found, inside the object.
  if (command.json) {
    std::cout << "{\"pass\":" << JsonString(command.pass)
              << ",\"file\":" << JsonString(command.file) << (list ? ",\"entries\":[" : "");
  }
  const duskmend::PassResult result = RunPass(command, sink, stop);
  sink.Clear();
  const PassOutcome outcome = result.outcome;
  const int signal = duskmend::stop_signals::Caught();
  std::string message = duskmend::PassMessage(result);
  if (outcome == PassOutcome::kStopped) {
    message = result.replaced ? "Stopped after the worldsave was replaced."
                              : "Stopped; the worldsave was not changed.";
    if (result.backupKept && !result.replaced) {
      message += "\nThe backup " + result.backupPath + " holds the old save.";
    }
  }
  const bool rewrites = command.pass == "remove" || command.pass == "change";
  // A value that the server will not read is written as typed, and the operator is told.
  const std::string warning = command.pass == "change" && outcome == PassOutcome::kDone
                                  ? LightValueWarning(command.value)
                                  : "";
  if (command.json) {
    if (list) std::cout << ']';
    if (outcome == PassOutcome::kDone) {
      std::cout << ",\"lights\":" << result.counts.lights
                << ",\"sectors\":" << result.counts.sectors;
    }
    std::cout << ",\"outcome\":\"" << OutcomeName(outcome) << '"';
    if (result.failure) std::cout << ",\"step\":\"" << StepName(result.failure->step) << '"';
    if ((rewrites || !command.choice.ChoosesAll()) && outcome == PassOutcome::kDone) {
      std::cout << ",\"" << (list ? "listed" : "changed") << "\":" << result.changed;
    }
    if (!result.unseenSectors.empty()) {
      std::cout << ",\"unknownSectors\":[";
      for (std::size_t i = 0; i < result.unseenSectors.size(); ++i)
        std::cout << (i ? "," : "") << JsonString(result.unseenSectors[i]);
      std::cout << ']';
    }
    if (rewrites) std::cout << ",\"worldsave\":\"" << SaveTextName(result.worldsave) << '"';
    if (!command.backup.empty()) {
      std::cout << ",\"backup\":" << JsonString(command.backup)
                << ",\"backupKept\":" << (result.backupKept ? "true" : "false");
    }
    if (!warning.empty()) std::cout << ",\"warning\":" << JsonString(warning);
    if (!message.empty()) std::cout << ",\"message\":" << JsonString(message);
    std::cout << "}\n";
  } else {
    if (outcome == PassOutcome::kDone) {
      std::ostream& counts = list ? std::cerr : std::cout;
      counts << "Local Lights found: " << result.counts.lights << "\n"
             << "Sectors total: " << result.counts.sectors << "\n";
      // With a choice of sectors, what the pass did with the entries of those it chose.
      if (!command.choice.ChoosesAll()) {
        counts << "Local Lights "
               << (list                       ? "listed"
                   : command.pass == "remove" ? "removed"
                                              : "changed")
               << ": " << result.changed << "\n";
      }
    }
    // A sector misspelt in the list must not pass unseen.
    for (const std::string& name : result.unseenSectors)
      std::cerr << "duskmend-cli: the save holds no sector " << name << " (named in "
                << command.sectors << ")\n";
    if (!warning.empty()) std::cerr << warning << "\n";
    if (!message.empty()) std::cerr << message << "\n";
  }
  std::cout.flush();
  if (!std::cout || std::fflush(stdout) != 0 || std::fclose(stdout) != 0) {
    std::cerr << "duskmend-cli: cannot write the result: " << std::strerror(errno) << "\n";
    return kFailed;
  }
  switch (outcome) {
    case PassOutcome::kDone:
      return kDone;
    case PassOutcome::kFailed:
      return result.worldsave == duskmend::SaveText::kNew ? kFailedWithNewText : kFailed;
    case PassOutcome::kStopped:
      return 128 + signal;
    default:
      return kUsage;
  }
}

}  // namespace

int main(int argc, char** argv) {
  console::Prepare();
  Command command;
  std::vector<std::string> words;
  bool options = true;
  const std::vector<std::string> arguments = console::Arguments(argc, argv);
  for (std::size_t at = 0; at < arguments.size(); ++at) {
    const std::string& word = arguments[at];
    if (options && word == "--") {
      options = false;
    } else if (options && word == "--help") {
      std::cout << kUsageText;
      return std::cout.flush() ? kDone : kFailed;
    } else if (options && word == "--version") {
      std::cout << "duskmend-cli " DUSKMEND_VERSION "\n";
      return std::cout.flush() ? kDone : kFailed;
    } else if (options && word == "--json") {
      command.json = true;
    } else if (options && word == "--backup") {
      if (!command.backup.empty()) return UsageError("--backup is given twice");
      if (++at == arguments.size() || arguments[at].empty())
        return UsageError("--backup needs a PATH");
      command.backup = arguments[at];
    } else if (options && word == "--map") {
      if (command.mapped) return UsageError("--map is given twice");
      const std::string map = ++at < arguments.size() ? arguments[at] : "";
      if (map.empty() || map.size() > 9 ||
          map.find_first_not_of("0123456789") != std::string::npos) {
        return UsageError("--map needs a whole number N, the fourth number of a sector");
      }
      command.mapped = true;
      command.choice.OnlyMap(std::stoull(map));
    } else if (options && word == "--sectors") {
      if (!command.sectors.empty()) return UsageError("--sectors is given twice");
      if (++at == arguments.size() || arguments[at].empty())
        return UsageError("--sectors needs a FILE");
      command.sectors = arguments[at];
      std::string why;
      const std::optional<std::vector<std::string>> lines = ReadSectorList(command.sectors, why);
      if (!lines) return UsageError(why);
      command.choice.OnlyNamed(*lines);
    } else if (options && word.size() > 1 && word[0] == '-') {
      // A negative VALUE reads as an option unless "--" ends them.
      if (word[1] >= '0' && word[1] <= '9') {
        return UsageError("unknown option " + word + "; for the VALUE " + word +
                          ", write: change -- " + word + " FILE");
      }
      return UsageError("unknown option " + word);
    } else {
      words.push_back(word);
    }
  }
  if (words.empty()) return UsageError("no pass given");
  command.pass = words[0];
  const std::size_t wanted = command.pass == "change" ? 3 : 2;
  if (command.pass != "analysis" && command.pass != "list" && command.pass != "remove" &&
      command.pass != "change") {
    return UsageError("unknown pass " + command.pass);
  }
  if (words.size() < wanted) return UsageError("missing FILE");
  if (words.size() > wanted) return UsageError("too many arguments");
  if (!command.backup.empty() && command.pass != "remove" && command.pass != "change") {
    return UsageError("--backup is for remove and change");
  }
  if (!command.choice.ChoosesAll() && command.pass == "analysis") {
    return UsageError("--map and --sectors are for list, remove and change");
  }
  if (wanted == 3) command.value = words[1];
  command.file = words.back();
  return Run(command);
}
