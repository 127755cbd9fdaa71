#include "window/accessibility.h"

#include <QAccessibleWidget>

#include "window/cell_widget.h"

namespace tessel {
namespace {

class AccessibleCell : public QAccessibleWidget {
 public:
  explicit AccessibleCell(CellWidget* cell) : QAccessibleWidget(cell, QAccessible::Button) {}
  QString text(QAccessible::Text t) const override {
    return t == QAccessible::Name ? cell().spokenName() : QAccessibleWidget::text(t);
  }
  QStringList actionNames() const override { return {pressAction()}; }
  void doAction(const QString& action) override {
    if (action == pressAction()) emit cell().clicked();
  }

 private:
  CellWidget& cell() const { return *static_cast<CellWidget*>(widget()); }
};

QAccessibleInterface* accessibleInterface(const QString& className, QObject* object) {
  if (className == QLatin1String("tessel::CellWidget")) {
    return new AccessibleCell(static_cast<CellWidget*>(object));
  }
  return nullptr;
}

}  // namespace

void installAccessibleInterfaces() {
  QAccessible::installFactory(&accessibleInterface);  // Qt ignores a second installation
}

}  // namespace tessel
