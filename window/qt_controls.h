// The controls of the real window: Qt widgets that carry out the control interface the handlers
// use, and report pointer events in the shape the handlers expect.
//
// Every control keeps the pointer events over its area to itself (no propagation to the window),
// so the window's own pointer-move handler runs only over bare background.
#pragma once

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include "form/controls.h"
#include "form/units.h"

namespace tessel {

// The hand cursor's hot spot: the tip of the pointing finger, in logical pixels.
inline constexpr QPoint kHandHotSpot{12, 1};

// Pointer arguments as the handlers take them: button and shift masks, position in twips.
struct PointerArgs {
  std::int16_t button = 0, shift = 0;
  float x = 0, y = 0;
};

// Tells clicks from double clicks as the desktop does: a press is the second half of a double
// click when it follows the last press with the same button, within the desktop's double-click
// interval and distance on the screen; a third press starts afresh, as clicks pair up. The second
// press raises neither a press nor a click. One tracker serves all of the window's controls, so a
// press anywhere in between starts over: with one per control, a click on か after one on あ was
// taken for the second half of a double click on か.
class ClickTracker {
 public:
  // Call on every press; true if it is an ordinary press (not the second of a double click).
  bool press(const QMouseEvent& event);
  // Call on every release; true if it completes a click (primary button, inside `area`).
  bool release(const QMouseEvent& event, const QRect& area);

 private:
  bool pressIsDouble_ = false;
  ulong lastPressTime_ = 0;
  QPoint lastPressPos_;  // on the screen
  Qt::MouseButton lastPressButton_ = Qt::NoButton;
};

// A control's mouse icon and mouse pointer: the icon shows as the cursor once the pointer is
// set to the custom one.
class MouseCursor {
 public:
  void setIcon(const Picture& picture, QWidget& control);
  void setPointer(int pointer, QWidget& control);

 private:
  void apply(QWidget& control) const;

  Picture icon_;
  int pointer_ = kPointerDefault;
};

// An image control: a rectangle showing its picture unscaled, or nothing (the kana cells).
class ImageWidget : public QWidget, public ImageControl {
  Q_OBJECT
 public:
  ImageWidget(QWidget* parent, float left, float top, int width, int height, QString picture,
              ClickTracker& clicks);

  float left() const override { return left_; }
  float top() const override { return top_; }
  void move(float left, float top) override;
  void setBorderStyle(int style) override;
  void setMouseIcon(const Picture& picture) override { cursor_.setIcon(picture, *this); }
  void setMousePointer(int pointer) override { cursor_.setPointer(pointer, *this); }
  int borderStyle() const { return borderStyle_; }

 signals:
  void mouseDown(PointerArgs args);
  void mouseUp(PointerArgs args);
  void mouseMove(PointerArgs args);
  void clicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  float left_, top_;
  QString picture_;
  int borderStyle_ = kBorderNone;
  MouseCursor cursor_;
  ClickTracker& clicks_;
};

class LabelWidget : public QLabel, public LabelControl {
  Q_OBJECT
 public:
  LabelWidget(QWidget* parent, const QString& caption, ClickTracker& clicks);

  bool visible() const override { return !isHidden(); }  // the flag, shown or not yet
  void setVisible(bool visible) override { QLabel::setVisible(visible); }
  void setForeColor(Rgb color) override;
  void setMouseIcon(const Picture& picture) override { cursor_.setIcon(picture, *this); }
  void setMousePointer(int pointer) override { cursor_.setPointer(pointer, *this); }
  Rgb foreColor() const { return color_; }

 signals:
  void clicked();
  void mouseMoved();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  ClickTracker& clicks_;
  Rgb color_;
  MouseCursor cursor_;
};

class ButtonWidget : public QPushButton, public ButtonControl {
  Q_OBJECT
 public:
  ButtonWidget(QWidget* parent, const QString& caption);
  std::u16string caption() const override { return text().toStdU16String(); }
  void setCaption(const std::u16string& caption) override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
};

// The sunken two-pixel frame around each button.
class PictureBox : public QFrame {
  Q_OBJECT
 public:
  explicit PictureBox(QWidget* parent);
};

class TimerWidget : public QTimer, public TimerControl {
  Q_OBJECT
 public:
  TimerWidget(QObject* parent, int intervalMs);
  void setEnabled(bool enabled) override;
};

QCursor cursorFor(const Picture& picture, const QWidget& shownOn);

}  // namespace tessel
