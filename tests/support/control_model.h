// An in-memory window: every control property the handlers can change, recorded and readable.
// Tests drive the handlers against it with no display; it starts from the same layout table as the
// real window.
#pragma once

#include <map>
#include <memory>

#include "form/controls.h"
#include "form/layout.h"

namespace tessel {

class ModelImage : public ImageControl {
 public:
  explicit ModelImage(const ControlSpec& spec) : left_(spec.left), top_(spec.top) {}
  float left() const override { return left_; }
  float top() const override { return top_; }
  void move(float left, float top) override { left_ = left, top_ = top; }
  void setBorderStyle(int style) override { borderStyle_ = style; }
  void setMouseIcon(const Picture& picture) override { mouseIcon_ = picture; }
  void setMousePointer(int pointer) override { mousePointer_ = pointer; }

  int borderStyle() const { return borderStyle_; }
  const Picture& mouseIcon() const { return mouseIcon_; }
  int mousePointer() const { return mousePointer_; }

 private:
  float left_, top_;
  int borderStyle_ = kBorderNone;
  Picture mouseIcon_;
  int mousePointer_ = kPointerDefault;
};

class ModelLabel : public LabelControl {
 public:
  bool visible() const override { return visible_; }
  void setVisible(bool visible) override { visible_ = visible; }
  void setForeColor(Rgb color) override { foreColor_ = color; }
  void setMouseIcon(const Picture& picture) override { mouseIcon_ = picture; }
  void setMousePointer(int pointer) override { mousePointer_ = pointer; }

  Rgb foreColor() const { return foreColor_; }
  const Picture& mouseIcon() const { return mouseIcon_; }
  int mousePointer() const { return mousePointer_; }

 private:
  bool visible_ = true;
  Rgb foreColor_ = kLabelRestColor;
  Picture mouseIcon_;
  int mousePointer_ = kPointerDefault;
};

class ModelButton : public ButtonControl {
 public:
  explicit ModelButton(const ControlSpec& spec) : caption_(spec.caption) {}
  std::u16string caption() const override { return caption_; }
  void setCaption(const std::u16string& caption) override { caption_ = caption; }

 private:
  std::u16string caption_;
};

class ModelTimer : public TimerControl {
 public:
  void setEnabled(bool enabled) override {
    enabled_ = enabled;
    if (enabled) ++starts_;
  }
  bool enabled() const { return enabled_; }
  int starts() const { return starts_; }  // how many fresh intervals were begun

 private:
  bool enabled_ = false;
  int starts_ = 0;
};

class ControlModel : public Controls {
 public:
  ControlModel();

  ModelImage* image1(std::int16_t index) override;
  ModelImage& imgRight() override { return *imgRight_; }
  ModelImage& imgTop() override { return *imgTop_; }
  ModelLabel& label1() override { return label1_; }
  ModelButton& command1() override { return *command1_; }
  ModelButton& command2() override { return *command2_; }
  ModelButton& command3() override { return *command3_; }
  ModelTimer& timer1() override { return timer1_; }
  Picture imageList1(int n) const override;
  void end() override { ended_ = true; }

  bool ended() const { return ended_; }

 private:
  std::map<std::int16_t, std::unique_ptr<ModelImage>> cells_;
  std::unique_ptr<ModelImage> imgRight_, imgTop_;
  ModelLabel label1_;
  std::unique_ptr<ModelButton> command1_, command2_, command3_;
  ModelTimer timer1_;
  bool ended_ = false;
};

}  // namespace tessel
