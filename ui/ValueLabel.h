#pragma once

#include <QLabel>

// A label that shows the value of the caption beside it; see ValueLabelAccessible.
class ValueLabel : public QLabel {
  Q_OBJECT

 public:
  ValueLabel(QWidget* parent, const QString& caption) : QLabel(parent) {
    setAccessibleName(caption);
  }
  // Shows `value` and tells a screen reader that the text changed.
  void SetValue(const QString& value);
};
