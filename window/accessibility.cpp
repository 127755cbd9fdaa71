#include "window/accessibility.h"

#include <QAccessibleWidget>

#include "window/cell_widget.h"
#include "window/frm_tessel.h"
#include "window/qt_controls.h"

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

class AccessibleLink : public QAccessibleWidget {
 public:
  explicit AccessibleLink(LabelWidget* label) : QAccessibleWidget(label, QAccessible::Link) {}
  QString text(QAccessible::Text t) const override {
    return t == QAccessible::Name ? label().text().trimmed() : QAccessibleWidget::text(t);
  }
  QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    state.linked = true;
    return state;
  }
  QStringList actionNames() const override { return {pressAction()}; }
  void doAction(const QString& action) override {
    // A hidden line takes no clicks, so it takes no action either.
    if (action == pressAction() && label().visible()) emit label().clicked();
  }

 private:
  LabelWidget& label() const { return *static_cast<LabelWidget*>(widget()); }
};

// QWidget's own interface would make the window a "filler" whose children come in creation order.
class AccessibleWindow : public QAccessibleWidget {
 public:
  explicit AccessibleWindow(frmTessel* window) : QAccessibleWidget(window, QAccessible::Window) {}
  int childCount() const override { return static_cast<int>(order().size()); }
  QAccessibleInterface* child(int index) const override {
    return QAccessible::queryAccessibleInterface(order().value(index));
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    return child ? static_cast<int>(order().indexOf(qobject_cast<QWidget*>(child->object()))) : -1;
  }

 private:
  const QList<QWidget*>& order() const { return static_cast<frmTessel*>(widget())->readingOrder(); }
};

QAccessibleInterface* accessibleInterface(const QString& className, QObject* object) {
  if (className == QLatin1String("tessel::CellWidget")) {
    return new AccessibleCell(static_cast<CellWidget*>(object));
  }
  if (className == QLatin1String("tessel::LabelWidget")) {
    return new AccessibleLink(static_cast<LabelWidget*>(object));
  }
  if (className == QLatin1String("tessel::frmTessel")) {
    return new AccessibleWindow(static_cast<frmTessel*>(object));
  }
  // A button's sunken box holds nothing to read: a filler, not a second frame.
  if (className == QLatin1String("tessel::PictureBox")) {
    return new QAccessibleWidget(static_cast<PictureBox*>(object), QAccessible::Client);
  }
  return nullptr;
}

}  // namespace

void installAccessibleInterfaces() {
  QAccessible::installFactory(&accessibleInterface);  // Qt ignores a second installation
}

}  // namespace tessel
