#pragma once

#include <optional>

namespace duskmend {

class Dialogs;
class WindowModel;

// The check that every pass makes before it touches a file.
class LoadGuard {
 public:
  LoadGuard(const WindowModel& model, Dialogs& dialogs) : model_(model), dialogs_(dialogs) {}

  // Returns 1 after telling the user when nothing is loaded, and no value otherwise.
  // Only the exact marker text counts as "nothing loaded"; the file itself is not looked at.
  std::optional<int> CHeckStatuS();

 private:
  const WindowModel& model_;
  Dialogs& dialogs_;
};

}  // namespace duskmend
