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
  void setBorderStyle(int style) override { borderStyle_ = style; }
  void setMouseIcon(const Picture& picture) override { mouseIcon_ = picture; }
  void setMousePointer(int pointer) override { mousePointer_ = pointer; }
  bool visible() const override { return visible_; }
  void setVisible(bool visible) override { visible_ = visible; }
  void setForeColor(Rgb color) override { foreColor_ = color; }
  std::u16string caption() const override { return caption_; }
  void setCaption(const std::u16string& caption) override { caption_ = caption; }
  void setEnabled(bool enabled) override { enabled_ = enabled, starts_ += enabled ? 1 : 0; }

  int borderStyle() const { return borderStyle_; }
  const Picture& mouseIcon() const { return mouseIcon_; }
  int mousePointer() const { return mousePointer_; }
  Rgb foreColor() const { return foreColor_; }
  bool enabled() const { return enabled_; }
  int starts() const { return starts_; }  // how many fresh timer intervals were begun

 private:
  float left_ = 0, top_ = 0;
  std::u16string caption_;
  int borderStyle_ = kBorderNone, mousePointer_ = kPointerDefault;
  Picture mouseIcon_;
  bool visible_ = true, enabled_ = false;
  Rgb foreColor_ = kLabelRestColor;
  int starts_ = 0;
};

class ControlModel : public Controls {
 public:
  ControlModel();

  ModelControl* image1(std::int16_t index) override;
  ModelControl& imgRight() override { return named_["imgRight"]; }
  ModelControl& imgTop() override { return named_["imgTop"]; }
  ModelControl& label1() override { return named_["Label1"]; }
  ModelControl& command1() override { return named_["Command1"]; }
  ModelControl& command2() override { return named_["Command2"]; }
  ModelControl& command3() override { return named_["Command3"]; }
  ModelControl& timer1() override { return named_["Timer1"]; }
  Picture imageList1(int n) const override { return imageListPicture(n); }
  void end() override { ended_ = true; }
  bool ended() const { return ended_; }

 private:
  std::map<std::int16_t, ModelControl> cells_;
  std::map<std::string_view, ModelControl> named_;
  bool ended_ = false;
};

}  // namespace tessel
