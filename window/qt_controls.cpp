#include "window/qt_controls.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleHints>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <cmath>

#include "form/kana_cells.h"
#include "form/layout.h"
#include "window/svg_picture.h"

namespace tessel {
namespace {

constexpr float kTwipsPerPixelF = kTwipsPerPixel;

PointerArgs pointerArgs(const QMouseEvent& event) {
  // Masks as the handlers know them: buttons 1 left, 2 right, 4 middle; shift 1, ctrl 2, alt 4.
  const auto mask = [](bool on, int bit) { return static_cast<std::int16_t>(on ? bit : 0); };
  const Qt::MouseButtons b = event.buttons() | event.button();
  const Qt::KeyboardModifiers m = event.modifiers();
  const QPointF p = event.position();
  return {
      static_cast<std::int16_t>(mask(b & Qt::LeftButton, 1) | mask(b & Qt::RightButton, 2) |
                                mask(b & Qt::MiddleButton, 4)),
      static_cast<std::int16_t>(mask(m & Qt::ShiftModifier, 1) | mask(m & Qt::ControlModifier, 2) |
                                mask(m & Qt::AltModifier, 4)),
      static_cast<float>(p.x() * kTwipsPerPixelF), static_cast<float>(p.y() * kTwipsPerPixelF)};
}

}  // namespace

QCursor cursorFor(const Picture& picture, const QWidget& shownOn) {
  return artworkCursor(QString::fromStdString(picture.resource), kHandHotSpot,
                       shownOn.devicePixelRatioF());
}

// --- ClickTracker ---------------------------------------------------------------------------

bool ClickTracker::press(const QMouseEvent& event) {
  const QStyleHints* hints = QGuiApplication::styleHints();
  const bool quick =
      event.timestamp() - lastPressTime_ < static_cast<ulong>(hints->mouseDoubleClickInterval());
  const QPoint at = event.globalPosition().toPoint();
  const bool near = (at - lastPressPos_).manhattanLength() <= hints->mouseDoubleClickDistance();
  pressIsDouble_ = lastPressButton_ == event.button() && quick && near;
  lastPressButton_ = pressIsDouble_ ? Qt::NoButton : event.button();
  lastPressTime_ = event.timestamp();
  lastPressPos_ = at;
  return !pressIsDouble_;
}

bool ClickTracker::release(const QMouseEvent& event, const QRect& area) {
  const bool click = !pressIsDouble_ && event.button() == Qt::LeftButton &&
                     area.contains(event.position().toPoint());
  pressIsDouble_ = false;
  return click;
}

// --- MouseCursor ----------------------------------------------------------------------------

// The handlers set both on every pointer movement; only a change reaches the window system.
void MouseCursor::setIcon(const Picture& picture, QWidget& control) {
  if (picture == icon_) return;
  icon_ = picture;
  apply(control);
}

void MouseCursor::setPointer(int pointer, QWidget& control) {
  if (pointer == pointer_) return;
  pointer_ = pointer;
  apply(control);
}

void MouseCursor::apply(QWidget& control) const {
  if (pointer_ == kPointerCustom && !icon_.resource.empty()) {
    control.setCursor(cursorFor(icon_, control));
  } else {
    control.unsetCursor();
  }
}

// --- ImageWidget ----------------------------------------------------------------------------

ImageWidget::ImageWidget(QWidget* parent, float left, float top, int width, int height,
                         QString picture, ClickTracker& clicks)
    : QWidget(parent), left_(left), top_(top), picture_(std::move(picture)), clicks_(clicks) {
  setGeometry(toPixels(left), toPixels(top), toPixels(static_cast<float>(width)),
              toPixels(static_cast<float>(height)));
  setMouseTracking(true);
  setAttribute(Qt::WA_NoMousePropagation);
}

void ImageWidget::move(float left, float top) {
  left_ = left;
  top_ = top;
  QWidget::move(toPixels(left), toPixels(top));
}

void ImageWidget::setBorderStyle(int style) {
  if (style == borderStyle_) return;
  borderStyle_ = style;
  update();
}

void ImageWidget::paintEvent(QPaintEvent*) {
  if (picture_.isEmpty() && borderStyle_ != kBorderSingle) return;  // a cell at rest draws nothing
  QPainter painter(this);
  if (!picture_.isEmpty()) {
    painter.drawImage(0, 0, artworkImage(picture_, size(), devicePixelRatioF()));
  }
  if (borderStyle_ == kBorderSingle) {
    painter.setPen(QPen(Qt::black, 0));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

void ImageWidget::mousePressEvent(QMouseEvent* event) {
  event->accept();
  if (clicks_.press(*event)) emit mouseDown(pointerArgs(*event));
}

// Where Qt sees a double click the second press arrives as this event instead of a press. Qt's
// rule need not notice where the pointer went in between, so the tracker judges it as any press.
void ImageWidget::mouseDoubleClickEvent(QMouseEvent* event) {
  mousePressEvent(event);
}

void ImageWidget::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
  emit mouseUp(pointerArgs(*event));
  if (clicks_.release(*event, rect())) emit clicked();
}

void ImageWidget::mouseMoveEvent(QMouseEvent* event) {
  event->accept();
  emit mouseMove(pointerArgs(*event));
}

// --- LabelWidget ----------------------------------------------------------------------------

LabelWidget::LabelWidget(QWidget* parent, const QString& caption, ClickTracker& clicks)
    : QLabel(caption, parent), clicks_(clicks) {
  setWordWrap(true);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  setMouseTracking(true);
  setAttribute(Qt::WA_NoMousePropagation);
  setForeColor(kLabelRestColor);
}

void LabelWidget::setForeColor(Rgb color) {
  color_ = color;
  QPalette p = palette();
  p.setColor(QPalette::WindowText, QColor(color.red, color.green, color.blue));
  setPalette(p);
}

// The captions are drawn from their layers (caption_layer.h), never by the widgets' own fonts.
void LabelWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const CaptionLook look{CaptionLook::Kind::Label, text(), contentsRect().size(),
                         palette().color(QPalette::WindowText)};
  painter.drawImage(contentsRect().topLeft(), captionImage(look, *style(), devicePixelRatioF()));
}

void LabelWidget::mousePressEvent(QMouseEvent* event) {
  event->accept();
  clicks_.press(*event);
}

void LabelWidget::mouseDoubleClickEvent(QMouseEvent* event) {
  mousePressEvent(event);  // as for the image controls
}

void LabelWidget::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
  if (clicks_.release(*event, rect())) emit clicked();
}

void LabelWidget::mouseMoveEvent(QMouseEvent* event) {
  event->accept();
  emit mouseMoved();
}

// --- ButtonWidget, PictureBox, TimerWidget ----------------------------------------------------

ButtonWidget::ButtonWidget(QWidget* parent, const QString& caption) : QPushButton(caption, parent) {
  setAttribute(Qt::WA_NoMousePropagation);
}

void ButtonWidget::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionButton option;
  initStyleOption(&option);
  const CaptionLook look{option.state & QStyle::State_Sunken ? CaptionLook::Kind::PressedButton
                                                             : CaptionLook::Kind::Button,
                         option.text, size(), palette().color(QPalette::ButtonText)};
  option.text.clear();
  painter.drawControl(QStyle::CE_PushButton, option);
  painter.drawImage(0, 0, captionImage(look, *style(), devicePixelRatioF()));
}

// Outside a dialog a push button takes only Space; users of desktop forms expect Return and Enter
// to press the focused button too. Handing them on as Space keeps the press-and-release shape
// (sunken while held, one click on release, held-key repeats ignored).
namespace {
QKeyEvent asSpace(const QKeyEvent& event) {
  return QKeyEvent(event.type(), Qt::Key_Space, event.modifiers(), QStringLiteral(" "),
                   event.isAutoRepeat(), static_cast<quint16>(event.count()));
}
bool isReturn(const QKeyEvent& event) {
  return event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter;
}
}  // namespace

void ButtonWidget::keyPressEvent(QKeyEvent* event) {
  if (isReturn(*event)) {
    QKeyEvent space = asSpace(*event);
    QPushButton::keyPressEvent(&space);
    event->setAccepted(space.isAccepted());
  } else {
    QPushButton::keyPressEvent(event);
  }
}

void ButtonWidget::keyReleaseEvent(QKeyEvent* event) {
  if (isReturn(*event)) {
    QKeyEvent space = asSpace(*event);
    QPushButton::keyReleaseEvent(&space);
    event->setAccepted(space.isAccepted());
  } else {
    QPushButton::keyReleaseEvent(event);
  }
}

void ButtonWidget::setCaption(const std::u16string& caption) {
  setText(QString::fromStdU16String(caption));
}

PictureBox::PictureBox(QWidget* parent) : QFrame(parent) {
  setFrameStyle(QFrame::WinPanel | QFrame::Sunken);  // two pixels, sunken
  setFocusPolicy(Qt::NoFocus);
  setAttribute(Qt::WA_NoMousePropagation);
}

TimerWidget::TimerWidget(QObject* parent, int intervalMs) : QTimer(parent) {
  setInterval(intervalMs);
  setTimerType(Qt::PreciseTimer);
}

void TimerWidget::setEnabled(bool enabled) {
  if (enabled) {
    start();  // a fresh interval
  } else {
    stop();
  }
}

}  // namespace tessel
