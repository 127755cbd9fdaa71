// The window as the event handlers see it.
//
// The handlers in chart/ and credits/ never touch a widget: they read and change controls through
// these interfaces. Two implementations exist: the Qt window (frm_tessel) and an in-memory model
// in the tests (tests/support/control_model) that records every property so the handlers can be
// driven and observed without a display. Positions are in twips (15 to a logical pixel); they are
// whole numbers, carried as float because the marker arithmetic is done in single precision.
#pragma once

#include <cstdint>
#include <string>

namespace tessel {

struct Rgb {
  std::uint8_t red = 0, green = 0, blue = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// A picture the handlers pass around without looking inside (the hand cursor).
struct Picture {
  std::string resource;  // Qt resource path of the artwork, empty for none
  friend bool operator==(const Picture&, const Picture&) = default;
};

inline constexpr int kBorderNone = 0;
inline constexpr int kBorderSingle = 1;
inline constexpr int kPointerDefault = 0;
inline constexpr int kPointerCustom = 99;  // show the control's mouse icon

class ImageControl {
 public:
  virtual ~ImageControl() = default;
  virtual float left() const = 0;
  virtual float top() const = 0;
  virtual void move(float left, float top) = 0;  // size unchanged
  virtual void setBorderStyle(int style) = 0;
  virtual void setMouseIcon(const Picture& picture) = 0;
  virtual void setMousePointer(int pointer) = 0;
};

class LabelControl {
 public:
  virtual ~LabelControl() = default;
  virtual bool visible() const = 0;
  virtual void setVisible(bool visible) = 0;
  virtual void setForeColor(Rgb color) = 0;
  virtual void setMouseIcon(const Picture& picture) = 0;
  virtual void setMousePointer(int pointer) = 0;
};

class ButtonControl {
 public:
  virtual ~ButtonControl() = default;
  virtual std::u16string caption() const = 0;
  virtual void setCaption(const std::u16string& caption) = 0;
};

class TimerControl {
 public:
  virtual ~TimerControl() = default;
  virtual void setEnabled(bool enabled) = 0;  // enabling starts a fresh interval
};

class Controls {
 public:
  virtual ~Controls() = default;
  // The kana cell with this index, or nullptr where no cell has it.
  virtual ImageControl* image1(std::int16_t index) = 0;
  virtual ImageControl& imgRight() = 0;
  virtual ImageControl& imgTop() = 0;
  virtual LabelControl& label1() = 0;
  virtual ButtonControl& command1() = 0;
  virtual ButtonControl& command2() = 0;
  virtual ButtonControl& command3() = 0;
  virtual TimerControl& timer1() = 0;
  // Picture number `n` (from 1) of the image list; number 1 is the hand cursor.
  virtual Picture imageList1(int n) const = 0;
  // Ends the program at once: no further events are handled.
  virtual void end() = 0;
};

}  // namespace tessel
