#include "AccessibleFactory.h"

#include <QAccessible>
#include <QAccessibleWidget>

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

QAccessibleInterface* Create(const QString&, QObject* object) {
  if (auto* shape = qobject_cast<Shape*>(object)) return new DecorationAccessible(shape);
  if (auto* bar = qobject_cast<ProgressBarView*>(object)) return new ProgressBarAccessible(bar);
  if (auto* label = qobject_cast<ValueLabel*>(object)) return new ValueLabelAccessible(label);
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
