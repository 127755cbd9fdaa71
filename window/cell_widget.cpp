#include "window/cell_widget.h"

#include <QKeyEvent>
#include <QPainter>
#include <QRegion>

namespace tessel {
namespace {

// What a key press passes on as pointer arguments: the primary button, which is what a click is.
constexpr PointerArgs kKeyPress{.button = 1};

// Inset and width of the focus ring, in logical pixels: clear of the pressed frame's one pixel.
constexpr int kRingInset = 2;
constexpr int kRingWidth = 2;

bool withoutModifiers(const QKeyEvent& event) {
  return (event.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

bool pressesTheCell(const QKeyEvent& event) {
  const int key = event.key();
  return withoutModifiers(event) &&
         (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter);
}

std::optional<ChartStep> stepFor(const QKeyEvent& event) {
  if (!withoutModifiers(event)) return std::nullopt;
  switch (event.key()) {
    case Qt::Key_Up:
      return ChartStep::Up;
    case Qt::Key_Down:
      return ChartStep::Down;
    case Qt::Key_Left:
      return ChartStep::Left;
    case Qt::Key_Right:
      return ChartStep::Right;
    case Qt::Key_PageUp:
      return ChartStep::ToHiragana;  // the upper half
    case Qt::Key_PageDown:
      return ChartStep::ToKatakana;
    case Qt::Key_Home:
      return ChartStep::First;
    case Qt::Key_End:
      return ChartStep::Last;
    default:
      return std::nullopt;
  }
}

}  // namespace

CellWidget::CellWidget(QWidget* parent, const KanaCell& cell, ClickTracker& clicks)
    : ImageWidget(parent, static_cast<float>(cell.left), static_cast<float>(cell.top), kCellSize,
                  kCellSize, {}, clicks),
      cell_(cell) {}

// Made when asked, so the 96 names cost start-up nothing.
QString CellWidget::spokenName() const {
  return QString::fromStdString(tessel::spokenName(cell_));
}

void CellWidget::paintEvent(QPaintEvent* event) {
  ImageWidget::paintEvent(event);
  if (!hasFocus()) return;
  const QRect outer = rect().adjusted(kRingInset, kRingInset, -kRingInset, -kRingInset);
  const QRect inner = outer.adjusted(kRingWidth, kRingWidth, -kRingWidth, -kRingWidth);
  QPainter painter(this);
  painter.setClipRegion(QRegion(outer).subtracted(QRegion(inner)));
  painter.fillRect(outer, palette().color(QPalette::Highlight));
}

void CellWidget::keyPressEvent(QKeyEvent* event) {
  if (pressesTheCell(*event)) {
    event->accept();
    if (event->isAutoRepeat() || heldKey_) return;
    heldKey_ = event->key();
    emit mouseDown(kKeyPress);
  } else if (const auto step = stepFor(*event)) {
    event->accept();
    emit stepRequested(*step);
  } else {
    ImageWidget::keyPressEvent(event);
  }
}

void CellWidget::keyReleaseEvent(QKeyEvent* event) {
  if (!heldKey_ || event->key() != *heldKey_) return ImageWidget::keyReleaseEvent(event);
  event->accept();
  if (event->isAutoRepeat()) return;
  heldKey_.reset();
  emit mouseUp(kKeyPress);
  emit clicked();
}

// Focus taken away while the key is down (another window, a click elsewhere): let go without a
// click, as a push button does.
void CellWidget::focusOutEvent(QFocusEvent* event) {
  if (heldKey_) {
    heldKey_.reset();
    emit mouseUp(kKeyPress);
  }
  ImageWidget::focusOutEvent(event);
}

}  // namespace tessel
