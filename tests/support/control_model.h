// An in-memory window: every control property the handlers can change, recorded and readable.
// Tests drive the handlers against it with no display; it starts from the same layout table as the
// real window. One record serves every kind of control; each kind reads only its own fields.
#pragma once

#include <map>
#include <string>

#include "form/controls.h"
#include "form/layout.h"

namespace tessel {

class ModelControl : public ImageControl,
                     public LabelControl,
                     public ButtonControl,
                     public TimerControl {
 public:
  ModelControl() = default;
  explicit ModelControl(const ControlSpec& spec)
      : left_(static_cast<float>(spec.left)),
        top_(static_cast<float>(spec.top)),
        caption_(spec.caption) {}

  float left() const override { return left_; }
  float top() const override { return top_; }
  void move(float left, float top) override { left_ = left, top_ = top; }
  void setBorderStyle(int style) override { borderStyle = style; }
  void setMouseIcon(const Picture& picture) override { mouseIcon = picture; }
  void setMousePointer(int pointer) override { mousePointer = pointer; }
  bool visible() const override { return visible_; }
  void setVisible(bool visible) override { visible_ = visible; }
  void setForeColor(Rgb color) override { foreColor = color; }
  std::u16string caption() const override { return caption_; }
  void setCaption(const std::u16string& caption) override { caption_ = caption; }
  void setEnabled(bool on) override { enabled = on, starts += on ? 1 : 0; }

  // What was set last; `starts` counts the fresh timer intervals begun.
  int borderStyle = kBorderNone, mousePointer = kPointerDefault, starts = 0;
  Picture mouseIcon;
  Rgb foreColor = kLabelRestColor;
  bool enabled = false;

 private:
  float left_ = 0, top_ = 0;
  std::u16string caption_;
  bool visible_ = true;
};

class ControlModel : public Controls {
 public:
  ControlModel() {
    for (const ControlSpec& spec : windowLayout()) {
      (spec.kind == ControlKind::Cell ? cells_[spec.index] : named_[spec.name]) =
          ModelControl(spec);
    }
  }

  ModelControl* image1(std::int16_t index) override {
    auto it = cells_.find(index);
    return it == cells_.end() ? nullptr : &it->second;
  }
  ModelControl& imgRight() override { return named_["imgRight"]; }
  ModelControl& imgTop() override { return named_["imgTop"]; }
  ModelControl& label1() override { return named_["Label1"]; }
  ModelControl& command1() override { return named_["Command1"]; }
  ModelControl& command2() override { return named_["Command2"]; }
  ModelControl& command3() override { return named_["Command3"]; }
  ModelControl& timer1() override { return named_["Timer1"]; }
  Picture imageList1(int n) const override { return imageListPicture(n); }
  void end() override { ended = true; }
  bool ended = false;

 private:
  std::map<std::int16_t, ModelControl> cells_;
  std::map<std::string_view, ModelControl> named_;
};

}  // namespace tessel
