#include "window/frm_tessel.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QTimer>

#include "form/kana_cells.h"
#include "form/layout.h"
#include "window/accessibility.h"
#include "window/layout_qt.h"
#include "window/svg_picture.h"

namespace tessel {

frmTessel::frmTessel(SoundPort& sound, MailLink& mail, std::function<void()> endProgram)
    : chart_(*this, sound),
      autoRead_(*this, chart_),
      credits_(*this, mail),
      endProgram_(std::move(endProgram)) {
  installAccessibleInterfaces();
  setWindowTitle(qstr(kWindowCaption));
  setFixedSize(toPixels(kClientWidth), toPixels(kClientHeight));
  // The layout cannot grow, so the frame offers no maximise button; with the fixed size in the
  // size hints, window managers that honour them offer no full-screen either.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  // The desktop's colours would tint the buttons and their sunken frames; the window keeps the
  // style's own.
  setPalette(style()->standardPalette());
  setMouseTracking(true);
  createControls();
  connectEvents();
  chart_.Form_Load();  // before the first paint: the markers never show their stored places
}

void frmTessel::createControls() {
  std::map<std::string_view, QWidget*> containers;
  std::map<int, QWidget*> tabOrder;
  std::map<int, QWidget*> panelOrder;  // the window's own children that have a tab index
  for (const ControlSpec& spec : windowLayout()) {
    QWidget* parent = spec.container.empty() ? this : containers.at(spec.container);
    const auto left = static_cast<float>(spec.left), top = static_cast<float>(spec.top);
    switch (spec.kind) {
      case ControlKind::PictureBox: {
        auto* box = new PictureBox(parent);
        box->setGeometry(pixelRect(spec));
        containers[spec.name] = box;
        panelOrder[spec.tabIndex] = box;
        break;
      }
      case ControlKind::CommandButton: {
        auto* button = new ButtonWidget(parent, qstr(spec.caption));
        // Placed inside the container's frame, as the layout's positions are.
        const QPoint inside = static_cast<QFrame*>(parent)->contentsRect().topLeft();
        button->setGeometry(pixelRect(spec).translated(inside));
        (spec.name == "Command1"   ? command1_
         : spec.name == "Command2" ? command2_
                                   : command3_) = button;
        tabOrder[spec.tabIndex] = button;
        break;
      }
      case ControlKind::Timer:
        timer1_ = new TimerWidget(this, kTimerInterval);
        break;
      case ControlKind::ImageList:
        break;  // holds no widget: imageList1() hands out its picture
      case ControlKind::Cell:
        cells_[spec.index] = new CellWidget(parent, *findCell(spec.index), clicks_);
        break;
      case ControlKind::Image: {
        auto* image = new ImageWidget(parent, left, top, spec.width, spec.height,
                                      qstr(spec.picture), clicks_);
        (spec.name == "imgRight" ? imgRight_ : spec.name == "imgTop" ? imgTop_ : image50_) = image;
        break;
      }
      case ControlKind::Label:
        label1_ = new LabelWidget(parent, qstr(spec.caption), clicks_);
        label1_->setGeometry(pixelRect(spec));
        panelOrder[spec.tabIndex] = label1_;
        break;
    }
  }
  // Focus follows the table's tab indices among the controls that take it (the buttons; the frames
  // and the label never do), starting at the lowest; the chart comes after the last of them.
  QWidget* previous = nullptr;
  for (auto [index, widget] : tabOrder) {
    if (previous) setTabOrder(previous, widget);
    previous = widget;
  }
  lastButton_ = previous;
  if (!tabOrder.empty()) tabOrder.begin()->second->setFocus();
  setChartStop(*cells_.at(1));

  for (auto [index, widget] : panelOrder) readingOrder_.append(widget);
  for (const KanaCell& cell : allCells()) readingOrder_.append(cells_.at(cell.index));
}

// The chart is one Tab stop: of its cells only the one that last had the focus (あ at first) takes
// it by Tab. Qt places a widget in the Tab order only while it takes focus, so the stop is placed
// after the buttons each time it moves.
void frmTessel::setChartStop(CellWidget& cell) {
  if (chartStop_) chartStop_->setFocusPolicy(Qt::NoFocus);
  chartStop_ = &cell;
  cell.setFocusPolicy(Qt::TabFocus);
  setTabOrder(lastButton_, &cell);
}

void frmTessel::connectEvents() {
  for (auto [index, cell] : cells_) {
    const std::int16_t i = index;
    connect(cell, &ImageWidget::clicked, this, [this, i] { chart_.Image1_Click(i); });
    connect(cell, &ImageWidget::mouseDown, this,
            [this, i](PointerArgs a) { chart_.Image1_MouseDown(i, a.button, a.shift, a.x, a.y); });
    connect(cell, &ImageWidget::mouseUp, this,
            [this, i](PointerArgs a) { chart_.Image1_MouseUp(i, a.button, a.shift, a.x, a.y); });
    connect(cell, &ImageWidget::mouseMove, this,
            [this, i](PointerArgs a) { chart_.Image1_MouseMove(i, a.button, a.shift, a.x, a.y); });
    connect(cell, &CellWidget::stepRequested, this, [this, i](ChartStep step) {
      setChartStop(*cells_.at(stepFrom(i, step)));
      chartStop_->setFocus(Qt::OtherFocusReason);
    });
  }
  connect(command3_, &QPushButton::clicked, this, [this] { autoRead_.Command3_Click(); });
  connect(timer1_, &QTimer::timeout, this, [this] { autoRead_.Timer1_Timer(); });
  connect(command2_, &QPushButton::clicked, this, [this] { credits_.Command2_Click(); });
  connect(command1_, &QPushButton::clicked, this, [this] { credits_.Command1_Click(); });
  connect(label1_, &LabelWidget::clicked, this, [this] { credits_.Label1_Click(); });
  connect(label1_, &LabelWidget::mouseMoved, this, [this] { credits_.Label1_MouseMove(); });
}

void frmTessel::mouseMoveEvent(QMouseEvent* event) {
  event->accept();
  credits_.Form_MouseMove();
}

// Some window managers (openbox, for one) still offer full-screen to a window of fixed size, which
// then sits in a corner of a black screen; step back out of it, and out of a maximised state.
void frmTessel::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange &&
      (windowState() & (Qt::WindowFullScreen | Qt::WindowMaximized))) {
    QTimer::singleShot(0, this, [this] {
      setWindowState(windowState() & ~(Qt::WindowFullScreen | Qt::WindowMaximized));
    });
  }
}

void frmTessel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  painter.drawImage(
      0, 0, artworkImage(qstr(kChartPicture), {kChartWidth, kChartHeight}, devicePixelRatioF()));
}

CellWidget* frmTessel::image1(std::int16_t index) {
  auto it = cells_.find(index);
  return it == cells_.end() ? nullptr : it->second;
}

Picture frmTessel::imageList1(int n) const {
  return imageListPicture(n);
}

void frmTessel::end() {
  if (endProgram_) {
    endProgram_();
  } else {
    QCoreApplication::exit(0);
  }
}

}  // namespace tessel
