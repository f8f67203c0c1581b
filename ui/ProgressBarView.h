#pragma once

#include <QColor>
#include <QWidget>

class QLabel;
class Shape;

// The progress bar: the fill `Shape2`, its frame `Shape1` and the status text `lStatus`,
// drawn in that order on one rectangle. To a screen reader it is one progress bar.
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
  Shape* fill_;
  QLabel* text_;
  int percent_ = 100;  // the bar starts full
};
