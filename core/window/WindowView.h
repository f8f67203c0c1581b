#pragma once

#include <string>

namespace duskmend {

// The controls that show the values of a WindowModel; the main window implements it.
class WindowView {
 public:
  virtual ~WindowView() = default;
  virtual void ShowPathText(const std::string& text) = 0;
  virtual void ShowLightsCount(const std::string& text) = 0;
  virtual void ShowSectorsCount(const std::string& text) = 0;
  virtual void ShowStatusText(const std::string& text) = 0;
  virtual void ShowBarWidth(float width) = 0;
};

}  // namespace duskmend
