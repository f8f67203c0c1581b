#pragma once

#include <QAccessibleWidget>

class ValueLabel;

// A label that shows a value beside its caption: named after the caption, its text, which a
// screen reader reads as a label's text, is its value. Nothing in it can be selected.
class ValueLabelAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
 public:
  explicit ValueLabelAccessible(ValueLabel* label);
  void* interface_cast(QAccessible::InterfaceType type) override;
  QString text(QAccessible::Text type) const override;

  QString text(int startOffset, int endOffset) const override;
  int characterCount() const override { return static_cast<int>(Value().size()); }
  // Where the character stands on the screen, so that a screen reader's review of the screen
  // reads the value beside its caption.
  QRect characterRect(int offset) const override;
  int offsetAtPoint(const QPoint&) const override { return -1; }
  void selection(int, int* startOffset, int* endOffset) const override {
    *startOffset = *endOffset = 0;
  }
  int selectionCount() const override { return 0; }
  void addSelection(int, int) override {}
  void removeSelection(int) override {}
  void setSelection(int, int, int) override {}
  int cursorPosition() const override { return 0; }
  void setCursorPosition(int) override {}
  void scrollToSubstring(int, int) override {}
  QString attributes(int, int* startOffset, int* endOffset) const override {
    *startOffset = *endOffset = 0;
    return {};
  }

 private:
  QString Value() const;
};
