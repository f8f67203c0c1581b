#pragma once

#include <string>

namespace duskmend {

// Message box styles, as the window system numbers them.
inline constexpr int kStyleCritical = 16;
inline constexpr int kStyleExclamation = 48;
inline constexpr int kStyleInformation = 64;

inline const std::string kMessageTitle = "Hey, Dude!";

// The modal boxes that the core asks of the window.
class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // Shows a modal message box with one OK button; returns when it is dismissed.
  virtual void ShowMessage(const std::string& prompt, int style, const std::string& title) = 0;
  // Shows a modal input box; returns the typed text (UTF-8), or "" when cancelled.
  virtual std::string AskForText(const std::string& prompt, const std::string& title) = 0;
};

}  // namespace duskmend
