#pragma once

#include <QColor>
#include <QTimer>
#include <QWidget>

class QLabel;
class Shape;

// The progress bar: the fill `Shape2`, its frame `Shape1` and the status text `lStatus`,
// drawn in that order on one rectangle. To a screen reader it is one progress bar, whose
// changes it hears at most every kTellEveryMs: a fast pass over a large save would flood it,
// and Orca drops what comes in a flood, the pass's result among it.
class ProgressBarView : public QWidget {
  Q_OBJECT

 public:
  ProgressBarView(QWidget* parent, const QRect& place, const QColor& fill, const QColor& outline);

  // `twips` of the full width kFullBarWidth; the fill grows from the left.
  void SetFillWidth(float twips);
  void SetText(const QString& text);
  QString Text() const;
  int Percent() const { return percent_; }  // 0 to 100, as the fill shows it

 private:
  static constexpr int kTellEveryMs = 250;
  void Tell();  // the changes not yet told, and no more until the timer ends

  Shape* fill_;
  QLabel* text_;
  int percent_ = 100;  // the bar starts full
  QTimer tellTimer_;
  bool valueUntold_ = false;
  bool textUntold_ = false;
};
