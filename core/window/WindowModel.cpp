#include "WindowModel.h"

#include "ProgressSink.h"
#include "WindowView.h"

namespace duskmend {

WindowModel::WindowModel(WindowView* view) : view_(nullptr), barWidth_(kFullBarWidth) {
  Attach(view);
}

void WindowModel::Attach(WindowView* view) {
  view_ = view;
  if (!view_) return;
  view_->ShowPathText(pathText_);
  view_->ShowLightsCount(lightsCount_);
  view_->ShowSectorsCount(sectorsCount_);
  view_->ShowStatusText(statusText_);
  view_->ShowBarWidth(barWidth_);
}

void WindowModel::SetPathText(const std::string& text) {
  pathText_ = text;
  if (view_) view_->ShowPathText(pathText_);
}

void WindowModel::SetLightsCount(std::uint64_t count) {
  lightsCount_ = std::to_string(count);
  if (view_) view_->ShowLightsCount(lightsCount_);
}

void WindowModel::SetSectorsCount(std::uint64_t count) {
  sectorsCount_ = std::to_string(count);
  if (view_) view_->ShowSectorsCount(sectorsCount_);
}

void WindowModel::SetStatusText(const std::string& text) {
  statusText_ = text;
  if (view_) view_->ShowStatusText(statusText_);
}

void WindowModel::SetBarWidth(float width) {
  barWidth_ = width;
  if (view_) view_->ShowBarWidth(barWidth_);
}

}  // namespace duskmend
