#include "AccessibleFactory.h"

#include <QAccessible>
#include <QLabel>

#include "ProgressBarAccessible.h"
#include "ProgressBarView.h"
#include "ValueLabelAccessible.h"

namespace {

QAccessibleInterface* Create(const QString&, QObject* object) {
  if (auto* bar = qobject_cast<ProgressBarView*>(object)) return new ProgressBarAccessible(bar);
  auto* label = qobject_cast<QLabel*>(object);
  if (label && label->property(ValueLabelAccessible::kProperty).toBool()) {
    return new ValueLabelAccessible(label);
  }
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
