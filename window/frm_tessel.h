// frmTessel, the program's one window.
//
// Data flow: Qt delivers an event to a control widget (qt_controls), the connect block in the
// constructor turns it into the handler call named after the control and event (Image1_Click(6),
// Command3_Click(), Timer1_Timer() …), and the handler changes controls back through the Controls
// interface that this window implements. Geometry comes from the layout table; behaviour lives in
// the handlers, never here.
#pragma once

#include <QList>
#include <QWidget>
#include <functional>
#include <map>

#include "chart/auto_read.h"
#include "chart/cell_activation.h"
#include "credits/credits.h"
#include "form/controls.h"
#include "window/cell_widget.h"
#include "window/qt_controls.h"

namespace tessel {

class frmTessel : public QWidget, public Controls {
  Q_OBJECT
 public:
  // `endProgram` is what the close button finally does; the default leaves the event loop with
  // status 0.
  frmTessel(SoundPort& sound, MailLink& mail, std::function<void()> endProgram = {});

  // Controls
  CellWidget* image1(std::int16_t index) override;
  ImageWidget& imgRight() override { return *imgRight_; }
  ImageWidget& imgTop() override { return *imgTop_; }
  LabelWidget& label1() override { return *label1_; }
  ButtonWidget& command1() override { return *command1_; }
  ButtonWidget& command2() override { return *command2_; }
  ButtonWidget& command3() override { return *command3_; }
  TimerWidget& timer1() override { return *timer1_; }
  Picture imageList1(int n) const override;
  void end() override;

  ImageWidget& image50() { return *image50_; }
  const AutoRead& autoRead() const { return autoRead_; }
  // The controls as assistive technology reads them: the panel in its Tab order, then the kana in
  // chart order.
  const QList<QWidget*>& readingOrder() const { return readingOrder_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void createControls();
  void connectEvents();
  void setChartStop(CellWidget& cell);

  std::map<std::int16_t, CellWidget*> cells_;
  CellWidget* chartStop_ = nullptr;
  QWidget* lastButton_ = nullptr;  // in the Tab order
  QList<QWidget*> readingOrder_;
  ImageWidget *imgRight_ = nullptr, *imgTop_ = nullptr, *image50_ = nullptr;
  LabelWidget* label1_ = nullptr;
  ButtonWidget *command1_ = nullptr, *command2_ = nullptr, *command3_ = nullptr;
  TimerWidget* timer1_ = nullptr;
  ClickTracker clicks_;  // one for the whole window, as the desktop counts double clicks

  CellActivation chart_;
  AutoRead autoRead_;
  Credits credits_;
  std::function<void()> endProgram_;
};

}  // namespace tessel
