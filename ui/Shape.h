#pragma once

#include <QColor>
#include <QWidget>
#include <optional>

// A rectangle drawn with an optional fill and an optional one-pixel outline: the progress
// bar, its frame, and the engraved lines.
class Shape : public QWidget {
  Q_OBJECT

 public:
  Shape(QWidget* parent, const QString& name, const QRect& geometry, std::optional<QColor> fill,
        std::optional<QColor> outline);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::optional<QColor> fill_;
  std::optional<QColor> outline_;
};
