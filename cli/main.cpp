// duskmend-cli: the passes of Duskmend for servers without a desktop.
//
//   duskmend-cli [--json] analysis FILE
//   duskmend-cli [--json] [--map N] [--sectors FILE] list FILE
//   duskmend-cli [--json] [--backup PATH] [--map N] [--sectors FILE] remove FILE
//   duskmend-cli [--json] [--backup PATH] [--map N] [--sectors FILE] change VALUE FILE
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

#include "CommandLine.h"
#include "Console.h"
#include "ConsoleSink.h"
#include "EntryPrinter.h"
#include "JsonText.h"
#include "LightValue.h"
#include "PassMessage.h"
#include "SavePasses.h"
#include "StopSignals.h"

namespace {

using duskmend::PassOutcome;

constexpr int kDone = 0, kFailed = 1, kUsage = 2, kFailedWithNewText = 3;

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
  switch (command.pass) {
    case Pass::kAnalysis:
      return passes.Analysis(command.file);
    case Pass::kList:
      return passes.List(command.file, EntryPrinter(command.json), command.choice);
    case Pass::kRemove:
      return passes.Remove(command.file, {command.backup, command.choice});
    case Pass::kChange:
      break;
  }
  const std::optional<std::string> value = console::TextAsUtf8(command.value);
  if (value) return passes.Change(command.file, *value, {command.backup, command.choice});
  // Not text at all in the system's encoding, let alone Latin-1.
  duskmend::PassResult refused;
  refused.outcome = PassOutcome::kRefused;
  refused.path = command.file;
  refused.refusal =
      duskmend::PassRefusal(duskmend::PassRefusal::Reason::kValueNotText, console::CharacterSet());
  return refused;
}

// What a pass tells beyond its counts: why it did not end done, or a value written as typed that
// the server will not read as it looks.
struct Told {
  std::string warning;
  std::string message;
};

// The result as one JSON object, after the "pass", "file" and, of a list, the "entries" that
// went out as the pass ran.
void PrintJson(const Command& command, const duskmend::PassResult& result, const Told& told) {
  const bool list = command.pass == Pass::kList;
  const bool rewrites = Rewrites(command.pass);
  const PassOutcome outcome = result.outcome;
  if (list) std::cout << ']';
  if (outcome == PassOutcome::kDone) {
    std::cout << ",\"lights\":" << result.counts.lights << ",\"sectors\":" << result.counts.sectors;
  }
  std::cout << ",\"outcome\":\"" << OutcomeName(outcome) << '"';
  if (result.failure)
    std::cout << ",\"step\":\"" << duskmend::MeaningOf(result.failure->step).name << '"';
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
  if (!result.keptPath.empty()) std::cout << ",\"kept\":" << JsonString(result.keptPath);
  if (!command.backup.empty()) {
    std::cout << ",\"backup\":" << JsonString(command.backup)
              << ",\"backupKept\":" << (result.backupKept ? "true" : "false");
  }
  if (!told.warning.empty()) std::cout << ",\"warning\":" << JsonString(told.warning);
  if (!told.message.empty()) std::cout << ",\"message\":" << JsonString(told.message);
  std::cout << "}\n";
}

// The counts on stdout (a list's on stderr, after its entries), and what else is told on stderr.
void PrintPlain(const Command& command, const duskmend::PassResult& result, const Told& told) {
  if (result.outcome == PassOutcome::kDone) {
    std::ostream& counts = command.pass == Pass::kList ? std::cerr : std::cout;
    counts << duskmend::kLightsCaption << ": " << result.counts.lights << "\n"
           << duskmend::kSectorsCaption << ": " << result.counts.sectors << "\n";
    // With a choice of sectors, what the pass did with the entries of those it chose.
    if (!command.choice.ChoosesAll()) {
      counts << "Local Lights "
             << (command.pass == Pass::kList     ? "listed"
                 : command.pass == Pass::kRemove ? "removed"
                                                 : "changed")
             << ": " << result.changed << "\n";
    }
  }
  // A sector misspelt in the list must not pass unseen.
  for (const std::string& name : result.unseenSectors)
    std::cerr << "duskmend-cli: the save holds no sector " << name << " (named in "
              << command.sectors << ")\n";
  if (!told.warning.empty()) std::cerr << told.warning << "\n";
  if (!told.message.empty()) std::cerr << told.message << "\n";
}

int Run(const Command& command) {
  duskmend::stop_signals::Install();
  std::atomic<bool> stop{false};
  ConsoleSink sink(!command.json && console::ErrorsShowOnATerminal(), stop);
  // The entries of a list go out as they are found, inside the object.
  if (command.json) {
    std::cout << "{\"pass\":" << JsonString(PassName(command.pass))
              << ",\"file\":" << JsonString(command.file)
              << (command.pass == Pass::kList ? ",\"entries\":[" : "");
  }
  const duskmend::PassResult result = RunPass(command, sink, stop);
  sink.Clear();
  const PassOutcome outcome = result.outcome;
  // A value that the server will not read as it looks is written as typed, and the operator is
  // told.
  const Told told{command.pass == Pass::kChange && outcome == PassOutcome::kDone
                      ? duskmend::LightValueWarning(command.value)
                      : "",
                  duskmend::PassMessage(result)};
  if (command.json)
    PrintJson(command, result, told);
  else
    PrintPlain(command, result, told);
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
      return 128 + duskmend::stop_signals::Caught();
    case PassOutcome::kRefused:
    case PassOutcome::kBusy:
      break;
  }
  return kUsage;
}

}  // namespace

int main(int argc, char** argv) {
  console::Prepare();
  const CommandLine line = ParseCommandLine(console::Arguments(argc, argv));
  switch (line.ask) {
    case CommandLine::Ask::kRun:
      return Run(line.command);
    case CommandLine::Ask::kHelp:
      std::cout << kUsageText;
      break;
    case CommandLine::Ask::kVersion:
      std::cout << "duskmend-cli " DUSKMEND_VERSION "\n";
      break;
    case CommandLine::Ask::kUsageError:
      std::cerr << "duskmend-cli: " << line.why << "\n" << kUsageText;
      return kUsage;
  }
  return std::cout.flush() ? kDone : kFailed;
}
