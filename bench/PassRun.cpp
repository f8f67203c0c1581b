// duskmend-passrun: runs one pass over a world save without a window.
//
//   duskmend-passrun analysis|remove|change=VALUE PATH
//
// Prints the two counts as "LIGHTS SECTORS" on stdout. Progress goes to stderr when that is
// a terminal. A refusal or a failure prints its message on stderr and exits with 1.
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <string_view>

#include "Dialogs.h"
#include "PassRunner.h"
#include "ProgressSink.h"
#include "WindowModel.h"

namespace {

class ConsoleSink : public duskmend::ProgressSink {
 public:
  void SetBarWidth(float) override {}
  void SetStatusText(const std::string& text) override {
    if (showProgress_ && text != shown_) std::fprintf(stderr, "\r%s   ", text.c_str());
    shown_ = text;
  }
  void YieldToEvents() override {}
  ~ConsoleSink() override {
    if (showProgress_ && !shown_.empty()) std::fputc('\n', stderr);
  }

 private:
  bool showProgress_ = isatty(STDERR_FILENO) != 0;
  std::string shown_;
};

class ConsoleDialogs : public duskmend::Dialogs {
 public:
  explicit ConsoleDialogs(std::string answer) : answer_(std::move(answer)) {}
  void ShowMessage(const std::string& prompt, int, const std::string&) override {
    std::cerr << prompt << '\n';
  }
  std::string AskForText(const std::string&, const std::string&) override { return answer_; }

 private:
  std::string answer_;
};

int Usage() {
  std::cerr << "usage: duskmend-passrun analysis|remove|change=VALUE PATH\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return Usage();
  const std::string_view mode = argv[1];
  constexpr std::string_view kChange = "change=";
  const bool change = mode.substr(0, kChange.size()) == kChange;
  if (mode != "analysis" && mode != "remove" && !change) return Usage();

  duskmend::WindowModel model;
  model.SetPathText(argv[2]);
  ConsoleSink sink;
  ConsoleDialogs dialogs(change ? std::string(mode.substr(kChange.size())) : std::string());
  duskmend::PassRunner runner(model, sink, dialogs);
  duskmend::PassOutcome outcome = mode == "analysis" ? runner.AnalysisPass()
                                  : change           ? runner.ChangePass()
                                                     : runner.RemovePass();
  if (outcome != duskmend::PassOutcome::kDone) return 1;
  std::cout << model.LightsCount() << ' ' << model.SectorsCount() << '\n';
  return 0;
}
