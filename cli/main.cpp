// duskmend-cli: the passes of Duskmend for servers without a desktop.
//
//   duskmend-cli [--json] analysis FILE
//   duskmend-cli [--json] remove FILE
//   duskmend-cli [--json] change VALUE FILE
//
// Exits with 0 when the pass is done, 1 when it failed (the save keeps its old text), 2 on a
// usage error or a refusal, and 128 + the signal's number when a signal stopped it.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "Console.h"
#include "ConsoleDialogs.h"
#include "ConsoleSink.h"
#include "JsonText.h"
#include "PassRunner.h"
#include "StopSignals.h"
#include "WindowModel.h"

namespace {

using duskmend::PassOutcome;

constexpr int kDone = 0, kFailed = 1, kUsage = 2;

const char kUsageText[] =
    "usage: duskmend-cli [--json] analysis FILE\n"
    "       duskmend-cli [--json] remove FILE\n"
    "       duskmend-cli [--json] change VALUE FILE\n"
    "\n"
    "Counts the sector headers and their light entries (LIGHT=, or LOCALLIGHT= in saves of\n"
    "Sphere 0.56a and older) in a Sphere world save (analysis), rewrites it without those\n"
    "entries (remove), or with VALUE in each, under its own key (change).\n"
    "\n"
    "  --json     print the result as one JSON object\n"
    "  --help     print this text\n"
    "  --version  print the version\n"
    "\n"
    "Exit status: 0 done, 1 the pass failed and the save kept its old text, 2 a usage error\n"
    "or a refusal, 128+N stopped by signal N.\n";

struct Command {
  std::string pass;
  std::string value;
  std::string file;
  bool json = false;
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
    case duskmend::PassFailure::Step::kReplace:
      return "replace";
    case duskmend::PassFailure::Step::kWorldChanged:
    case duskmend::PassFailure::Step::kWorldChangedAtSwitch:
      return "worldsave-changed";
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

int Run(const Command& command) {
  duskmend::stop_signals::Install();
  std::string answer = command.value;
  if (command.pass == "change") {
    std::optional<std::string> utf8 = console::TextAsUtf8(command.value);
    answer = utf8 ? *utf8 : std::string("\n");  // refused as the window refuses it
  }
  duskmend::WindowModel model;
  model.SetPathText(command.file);
  ConsoleSink sink(!command.json && console::ErrorsShowOnATerminal());
  ConsoleDialogs dialogs(answer);
  duskmend::PassRunner runner(model, sink, dialogs);
  sink.Attach(&runner);
  const PassOutcome outcome = command.pass == "analysis" ? runner.AnalysisPass()
                              : command.pass == "remove" ? runner.RemovePass()
                                                         : runner.ChangePass();
  sink.Clear();
  const int signal = duskmend::stop_signals::Caught();
  std::string message;
  for (const ConsoleDialogs::Message& shown : dialogs.messages)
    message += (message.empty() ? "" : "\n") + shown.prompt;
  if (outcome == PassOutcome::kStopped) {
    message = runner.Replaced() ? "Stopped after the worldsave was replaced."
                                : "Stopped; the worldsave was not changed.";
  }
  if (command.json) {
    std::cout << "{\"pass\":" << JsonString(command.pass)
              << ",\"file\":" << JsonString(command.file);
    if (outcome == PassOutcome::kDone) {
      std::cout << ",\"lights\":" << model.LightsCount() << ",\"sectors\":" << model.SectorsCount();
    }
    std::cout << ",\"outcome\":\"" << OutcomeName(outcome) << '"';
    if (runner.LastFailure())
      std::cout << ",\"step\":\"" << StepName(runner.LastFailure()->step) << '"';
    if (!message.empty()) std::cout << ",\"message\":" << JsonString(message);
    std::cout << "}\n";
  } else {
    if (outcome == PassOutcome::kDone) {
      std::cout << "Local Lights found: " << model.LightsCount() << "\n"
                << "Sectors total: " << model.SectorsCount() << "\n";
    }
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
      return kFailed;
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
  for (const std::string& word : console::Arguments(argc, argv)) {
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
    } else if (options && word.size() > 1 && word[0] == '-') {
      return UsageError("unknown option " + word);
    } else {
      words.push_back(word);
    }
  }
  if (words.empty()) return UsageError("no pass given");
  command.pass = words[0];
  const std::size_t wanted = command.pass == "change" ? 3 : 2;
  if (command.pass != "analysis" && command.pass != "remove" && command.pass != "change") {
    return UsageError("unknown pass " + command.pass);
  }
  if (words.size() < wanted) return UsageError("missing FILE");
  if (words.size() > wanted) return UsageError("too many arguments");
  if (wanted == 3) command.value = words[1];
  command.file = words.back();
  return Run(command);
}
