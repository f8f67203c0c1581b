#pragma once

#include <cstdint>
#include <string>

namespace duskmend {

class WindowView;

inline const std::string kNothingLoaded = "No Worldsave loaded...";

// The main window's state for the whole run. Every change is shown at once in the view.
// Nothing is loaded exactly while the path text is kNothingLoaded.
class WindowModel {
 public:
  explicit WindowModel(WindowView* view = nullptr);

  const std::string& PathText() const { return pathText_; }
  const std::string& LightsCount() const { return lightsCount_; }
  const std::string& SectorsCount() const { return sectorsCount_; }
  const std::string& StatusText() const { return statusText_; }

  void SetPathText(const std::string& text);
  void SetLightsCount(std::uint64_t count);
  void SetSectorsCount(std::uint64_t count);
  void SetStatusText(const std::string& text);
  void SetBarWidth(float width);

  // Shows every value in `view` from now on.
  void Attach(WindowView* view);

 private:
  WindowView* view_;
  std::string pathText_ = kNothingLoaded;
  std::string lightsCount_ = "0";
  std::string sectorsCount_ = "0";
  std::string statusText_ = "Status bar ;)";
  float barWidth_;
};

}  // namespace duskmend
