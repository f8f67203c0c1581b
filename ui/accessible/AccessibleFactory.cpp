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

// A widget that a screen reader's review of the screen passes by: the engraved lines and the
// bar's shapes, which only decorate, and the announcer, whose words are said at once.
class UnreviewedAccessible : public QAccessibleWidget {
 public:
  UnreviewedAccessible(QWidget* widget, QAccessible::Role role) : QAccessibleWidget(widget, role) {}
  QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    state.invisible = true;
    return state;
  }
};

// Asked before Qt's own interfaces for each class of an object, its own class first.
QAccessibleInterface* Create(const QString&, QObject* object) {
  if (auto* announcer = qobject_cast<Announcer*>(object))
    return new UnreviewedAccessible(announcer, QAccessible::Notification);
  if (auto* shape = qobject_cast<Shape*>(object))
    return new UnreviewedAccessible(shape, QAccessible::Graphic);
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
