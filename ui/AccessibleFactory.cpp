#include "AccessibleFactory.h"

#include <QAccessible>
#include <QAccessibleWidget>

#include "Announcer.h"
#include "ClickLabel.h"
#include "ClickLabelAccessible.h"
#include "ProgressBarAccessible.h"
#include "ProgressBarView.h"
#include "Shape.h"
#include "ValueLabel.h"
#include "ValueLabelAccessible.h"

namespace {

// Asked before Qt's own interfaces for each class of an object, its own class first.
// The engraved lines and the bar's shapes only decorate: a screen reader passes them by.
class DecorationAccessible : public QAccessibleWidget {
 public:
  explicit DecorationAccessible(QWidget* shape) : QAccessibleWidget(shape, QAccessible::Graphic) {}
  QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    state.invisible = true;
    return state;
  }
};

// What a screen reader says at once; its review of the screen passes it by.
class AnnouncerAccessible : public QAccessibleWidget {
 public:
  explicit AnnouncerAccessible(Announcer* announcer)
      : QAccessibleWidget(announcer, QAccessible::Notification) {}
  QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    state.invisible = true;
    return state;
  }
};

QAccessibleInterface* Create(const QString&, QObject* object) {
  if (auto* announcer = qobject_cast<Announcer*>(object)) return new AnnouncerAccessible(announcer);
  if (auto* shape = qobject_cast<Shape*>(object)) return new DecorationAccessible(shape);
  if (auto* bar = qobject_cast<ProgressBarView*>(object)) return new ProgressBarAccessible(bar);
  if (auto* label = qobject_cast<ValueLabel*>(object)) return new ValueLabelAccessible(label);
  if (auto* link = qobject_cast<ClickLabel*>(object)) return new ClickLabelAccessible(link);
  return nullptr;
}

}  // namespace

void InstallAccessibleFactory() {
  static const bool installed = [] {
    QAccessible::installFactory(Create);
    return true;
  }();
  (void)installed;
}
