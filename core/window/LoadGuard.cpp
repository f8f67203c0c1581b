#include "LoadGuard.h"

#include "Dialogs.h"
#include "WindowModel.h"

namespace duskmend {

std::optional<int> LoadGuard::CHeckStatuS() {
  if (model_.PathText() != kNothingLoaded) return std::nullopt;
  dialogs_.ShowMessage("Load a worldsave at first, please...", kStyleInformation, kMessageTitle);
  return 1;
}

}  // namespace duskmend
