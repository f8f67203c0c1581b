#pragma once

#include <string>
#include <vector>

#include "Dialogs.h"

// The message boxes of a pass, kept for the program to print, and the question for the new
// value, answered with the value from the command line.
class ConsoleDialogs : public duskmend::Dialogs {
 public:
  explicit ConsoleDialogs(std::string answer) : answer_(std::move(answer)) {}

  void ShowMessage(const std::string& prompt, int style, const std::string&) override {
    messages.push_back({prompt, style});
  }
  std::string AskForText(const std::string&, const std::string&) override { return answer_; }

  struct Message {
    std::string prompt;
    int style;
  };
  std::vector<Message> messages;

 private:
  std::string answer_;
};
