#include "ProgressBarView.h"

#include <QAccessible>
#include <QLabel>
#include <algorithm>
#include <cmath>
#include <utility>

#include "ProgressSink.h"
#include "Shape.h"
#include "Twips.h"

ProgressBarView::ProgressBarView(QWidget* parent, const QRect& place, const QColor& fill,
                                 const QColor& outline)
    : QWidget(parent) {
  setObjectName("bar");
  setGeometry(place);
  const QRect whole(QPoint(0, 0), place.size());
  fill_ = new Shape(this, "Shape2", whole, fill, outline);
  new Shape(this, "Shape1", whole, std::nullopt, outline);
  text_ = new QLabel(this);
  text_->setObjectName("lStatus");
  text_->setGeometry(whole);
  text_->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
  text_->setTextFormat(Qt::PlainText);
  // Named, so that its changes do not reach screen readers as changes of a name: the bar
  // itself tells them, as its description.
  text_->setAccessibleName(QStringLiteral("lStatus"));
  tellTimer_.setSingleShot(true);
  tellTimer_.setInterval(kTellEveryMs);
  connect(&tellTimer_, &QTimer::timeout, this, &ProgressBarView::Tell);
}

void ProgressBarView::SetFillWidth(float twips) {
  const int pixels = std::clamp(Px(twips), 0, width());
  if (fill_->width() != pixels) fill_->resize(pixels, fill_->height());
  const int percent =
      std::clamp(static_cast<int>(std::floor(100.0 * twips / duskmend::kFullBarWidth)), 0, 100);
  if (percent == percent_) return;
  percent_ = percent;
  valueUntold_ = true;
  if (!tellTimer_.isActive()) Tell();
}

// The text stands on the fill; only a change that can be seen repaints.
void ProgressBarView::SetText(const QString& text) {
  if (text_->text() == text) return;
  text_->setText(text);
  textUntold_ = true;
  if (!tellTimer_.isActive()) Tell();
}

// Without a screen reader there is nobody to tell, and no timer to keep.
void ProgressBarView::Tell() {
  const bool value = std::exchange(valueUntold_, false);
  const bool text = std::exchange(textUntold_, false);
  if (!QAccessible::isActive() || !(value || text)) return;
  if (value) {
    QAccessibleValueChangeEvent changed(this, percent_);
    QAccessible::updateAccessibility(&changed);
  }
  if (text) {
    QAccessibleEvent changed(this, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&changed);
  }
  tellTimer_.start();
}

QString ProgressBarView::Text() const { return text_->text(); }
