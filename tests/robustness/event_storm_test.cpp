// A seeded storm of pointer events, button clicks and timer ticks through the real window, built
// with the sanitizers. After every event the window must agree with a small model of what the
// user has done so far: which cell was activated last, where the auto-read stands, which cell is
// framed, whether the credit line shows and in which colour, how often mail and close were asked.
//
// The seed is printed first; TESSEL_STORM_SEED=<seed> replays a failing run event for event.
#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QMetaObject>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "chart/cell_activation.h"
#include "credits/credits.h"
#include "form/kana_cells.h"
#include "form/layout.h"
#include "support/recorders.h"
#include "window/frm_tessel.h"

namespace tessel {
namespace {

constexpr int kEvents = 20000;

using testing::KeyRecorder;
using testing::UrlRecorder;

std::uint64_t stormSeed() {
  if (const char* text = std::getenv("TESSEL_STORM_SEED"); text && *text) {
    return std::strtoull(text, nullptr, 10);
  }
  return static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

QRect cellRect(const KanaCell& cell) {
  return {cell.left / kTwipsPerPixel, cell.top / kTwipsPerPixel, kCellSize / kTwipsPerPixel,
          kCellSize / kTwipsPerPixel};
}

std::string name(Qt::MouseButton b) {
  return b == Qt::LeftButton ? "left" : "right";
}

// Counts the paints of the widgets it watches: the drawing code must run under the sanitizers too.
class PaintCounter : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
  int paints = 0;
};

class EventStorm : public ::testing::Test {
 protected:
  void SetUp() override {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    // Ticks are the storm's to give, so that a replayed seed runs exactly the same events; the
    // real one-second timer must not add ticks of its own during the seconds the storm runs.
    window.timer1().setInterval(24 * 60 * 60 * 1000);
    QObject::connect(&window.timer1(), &QTimer::timeout, [this] { ++ticksDelivered; });
    for (const KanaCell& cell : allCells()) {
      cellOf[window.image1(cell.index)] = &cell;
      window.image1(cell.index)->installEventFilter(&cellPaints);
    }
    window.installEventFilter(&windowPaints);
    buttons = {&window.command1(), &window.command2(), &window.command3()};
  }

  QWindow* handle() { return window.windowHandle(); }
  QRect inWindow(const QWidget& w) { return QRect(w.mapTo(&window, QPoint(0, 0)), w.size()); }
  QWidget* widgetAt(QPoint p) {
    QWidget* w = window.childAt(p);
    return w ? w : &window;
  }
  const KanaCell* cellAt(const QWidget* w) {
    auto it = cellOf.find(w);
    return it == cellOf.end() ? nullptr : it->second;
  }

  // --- where events go -----------------------------------------------------------------------

  QPoint randomIn(QRect r) {
    r &= window.rect();
    std::uniform_int_distribution<int> x(r.left(), r.right()), y(r.top(), r.bottom());
    return {x(rng), y(rng)};
  }

  // Button edges are left out: whether a release exactly on a push button's outline counts as a
  // click is the style's business, not the program's.
  bool onButtonEdge(QPoint p) {
    for (const QWidget* b : buttons) {
      const QRect r = inWindow(*b);
      if (r.adjusted(-3, -3, 3, 3).contains(p) && !r.adjusted(3, 3, -3, -3).contains(p)) {
        return true;
      }
    }
    return false;
  }

  QPoint randomTarget() {
    for (;;) {
      QPoint p;
      switch (std::uniform_int_distribution<int>(0, 9)(rng)) {
        case 0:
        case 1:
        case 2: {  // a cell, anywhere inside it (neighbours overlap at the edges)
          const auto cells = allCells();
          p = randomIn(cellRect(
              cells[std::uniform_int_distribution<std::size_t>(0, cells.size() - 1)(rng)]));
          break;
        }
        case 3:
          p = randomIn({0, 0, 462, 490});
          break;  // the chart: cells and the gaps between
        case 4:
          p = randomIn(inWindow(window.image50()));
          break;
        case 5:
          p = randomIn(inWindow(std::bernoulli_distribution(0.5)(rng) ? window.imgRight()
                                                                      : window.imgTop()));
          break;
        case 6:
          p = randomIn(inWindow(window.label1()));
          break;
        case 7:
          p = randomIn(window.rect());
          break;  // anywhere
        case 8:
          p = randomIn({462, 290, 170, 200});
          break;  // the panel around the buttons
        default:
          p = randomIn(inWindow(*buttons[std::uniform_int_distribution<int>(0, 2)(rng)]));
      }
      if (!onButtonEdge(p)) return p;
    }
  }

  // --- the events, each updating the model of what must follow --------------------------------

  void press(Qt::MouseButton b, QPoint p) {
    log("press " + name(b), p);
    pointerTo(p);
    if (!held) grabber = widgetAt(p);  // the first press takes the pointer until all are released
    held |= b;
    framed = cellAt(grabber) != nullptr;
    if (b == Qt::LeftButton) leftPressInside = inWindow(*grabber).contains(p);
    QTest::mousePress(handle(), b, {}, p);
  }

  void release(Qt::MouseButton b, QPoint p) {
    log("release " + name(b), p);
    pointerTo(p);
    QWidget* target = grabber;
    held &= ~b;
    framed = false;
    QTest::mouseRelease(handle(), b, {}, p);
    if (b == Qt::LeftButton) leftReleased(target, p);
    if (!held) grabber = nullptr;
  }

  void click(Qt::MouseButton b, QPoint p) {
    press(b, p);
    release(b, p);
  }

  void doubleClick(Qt::MouseButton b, QPoint p) {
    log("double-click " + name(b), p);
    pointerTo(p);
    QWidget* target = widgetAt(p);
    const int mailBefore = static_cast<int>(mail.urls.size());
    QTest::mouseDClick(handle(), b, {}, p);
    // The second press of a double click is no press and no click: one activation at most.
    if (b == Qt::LeftButton && cellAt(target)) activated(cellAt(target)->index);
    if (b == Qt::LeftButton && target == &window.label1()) {
      // Like a cell, the credit line takes a double click as one click: one mail, not two.
      const int opened = static_cast<int>(mail.urls.size()) - mailBefore;
      EXPECT_EQ(opened, 1) << "mail requests for a double click";
      mailRequests += opened;
    }
  }

  void move(QPoint p) {
    log("move", p);
    lastPos = QPoint(-1, -1);  // an explicit move is always delivered
    pointerTo(p);
    QTest::mouseMove(handle(), p);
  }

  // What a pointer movement to `p` does. Qt sends one before a press or release at a new place,
  // so the hover effects of those are the same as of a move.
  void pointerTo(QPoint p) {
    if (p == lastPos) return;
    lastPos = p;
    const QWidget* target = held ? grabber : widgetAt(p);
    if (target == &window.label1()) labelBlue = true;
    if (target == &window) labelBlue = false;
  }

  void tick() {
    log("tick", {});
    const int before = ticksDelivered;
    QMetaObject::invokeMethod(&window.timer1(), "timeout");
    ASSERT_EQ(ticksDelivered, before + 1) << "the invoked tick did not reach the timer's handlers";
    activated(readIndex);
    readIndex = readIndex % kKanaPositions + 1;
  }

  void leftReleased(QWidget* target, QPoint p) {
    if (!target->isVisible() || !inWindow(*target).contains(p)) return;
    if (const KanaCell* cell = cellAt(target)) activated(cell->index);
    if (target == &window.label1()) ++mailRequests;
    // A push button clicks only when the left press, too, was on it.
    if (!leftPressInside) return;
    if (target == &window.command1()) ++closeRequests;
    if (target == &window.command2()) labelVisible = !labelVisible;
    if (target == &window.command3()) {
      readIndex = 1;
      reading = !reading;
    }
  }

  void activated(std::int16_t index) {
    lastCell = index;
    ++activations;
  }

  void log(const std::string& what, QPoint p) {
    std::ostringstream line;
    line << "#" << eventNumber << " " << what;
    if (!p.isNull()) {
      const QWidget* w = held ? grabber : widgetAt(p);
      line << " at (" << p.x() << ", " << p.y() << ") " << (held ? "to the held " : "on ")
           << w->metaObject()->className();
      if (const KanaCell* cell = cellAt(w)) line << " cell " << cell->index;
    }
    recent.push_back(line.str());
    if (recent.size() > 12) recent.pop_front();
  }

  void randomEvent() {
    std::uniform_int_distribution<int> perMille(0, 999);
    const int roll = perMille(rng);
    const Qt::MouseButton b =
        std::bernoulli_distribution(0.75)(rng) ? Qt::LeftButton : Qt::RightButton;
    const QPoint p = randomTarget();
    if (held) {  // with a button down only the raw events make sense
      if (roll < 450) return move(p);
      if (roll < 600 && !(held & b)) return press(b, p);
      return release((held & Qt::LeftButton) ? Qt::LeftButton : Qt::RightButton, p);
    }
    if (roll < 300) return move(p);
    if (roll < 420) return press(b, p);
    if (roll < 650) return click(b, p);
    if (roll < 700) {
      const QWidget* target = widgetAt(p);
      // A double click on a push button is the style's business (one click or two): not asked.
      if (std::find(buttons.begin(), buttons.end(), target) != buttons.end()) return click(b, p);
      return doubleClick(b, p);
    }
    if (roll < 730) return click(Qt::LeftButton, {570, 396});  // auto-read
    if (roll < 745) return click(Qt::LeftButton, {570, 431});  // About
    if (roll < 748) return click(Qt::LeftButton, {570, 466});  // Close
    if (window.timer1().isActive()) return tick();
    return move(p);
  }

  // --- what must hold after every event -------------------------------------------------------

  ::testing::AssertionResult consistent() {
    std::ostringstream why;
    const std::int16_t read = window.autoRead().readIndex();
    if (read < 1 || read > kKanaPositions) why << "ReadIndex " << read << " outside 1..48; ";
    if (read != readIndex) why << "ReadIndex " << read << ", expected " << readIndex << "; ";

    if (static_cast<int>(sound.keys.size()) != activations) {
      why << sound.keys.size() << " sounds requested for " << activations << " activations; ";
    } else if (activations > 0 && sound.keys.back() != soundKey(lastCell)) {
      why << "last key " << sound.keys.back() << ", cell " << lastCell << " plays "
          << soundKey(lastCell) << "; ";
    }
    const KanaCell& cell = *findCell(lastCell);
    const ImageWidget &row = window.imgRight(), &column = window.imgTop();
    const float rowTop = static_cast<float>(cell.top) - kRowMarkerRaise;
    const float columnLeft = static_cast<float>(cell.left) + kColumnMarkerShift;
    if (row.left() != kRowMarkerLeft || row.top() != rowTop || column.left() != columnLeft ||
        column.top() != kColumnMarkerTop) {
      why << "markers at row (" << row.left() << ", " << row.top() << ") column (" << column.left()
          << ", " << column.top() << "), cell " << lastCell << " wants row (" << kRowMarkerLeft
          << ", " << rowTop << ") column (" << columnLeft << ", " << kColumnMarkerTop << "); ";
    }
    const QPoint rowAt(toPixels(kRowMarkerLeft), toPixels(rowTop));
    const QPoint columnAt(toPixels(columnLeft), toPixels(kColumnMarkerTop));
    if (row.pos() != rowAt || column.pos() != columnAt) {
      why << "marker pictures at (" << row.x() << ", " << row.y() << ") and (" << column.x() << ", "
          << column.y() << ") pixels; ";
    }

    for (const auto& [widget, kana] : cellOf) {
      const int want = framed && widget == grabber ? kBorderSingle : kBorderNone;
      if (static_cast<const ImageWidget*>(widget)->borderStyle() != want) {
        why << "cell " << kana->index
            << (want == kBorderSingle ? " not framed while pressed; " : " framed with no press; ");
      }
    }

    const bool captionOn = window.command3().text() ==
                           QString::fromUtf16(kAutoReadOnCaption.data(), kAutoReadOnCaption.size());
    if (captionOn != window.timer1().isActive()) why << "caption and timer disagree; ";
    if (captionOn != reading)
      why << "auto-read " << (reading ? "should" : "should not") << " run; ";

    if (window.label1().isVisibleTo(&window) != labelVisible) why << "credit line visibility; ";
    const Rgb colour = window.label1().foreColor();
    if (colour != (labelBlue ? kLabelHoverColor : kLabelRestColor)) why << "credit colour; ";
    if (static_cast<int>(mail.urls.size()) != mailRequests) {
      why << mail.urls.size() << " mail requests, expected " << mailRequests << "; ";
    }
    if (ends != closeRequests) why << ends << " closes, expected " << closeRequests << "; ";

    if (why.str().empty()) return ::testing::AssertionSuccess();
    std::ostringstream report;
    report << why.str() << "\nafter these events (seed " << seed << "):";
    for (const std::string& line : recent) report << "\n  " << line;
    return ::testing::AssertionFailure() << report.str();
  }

  KeyRecorder sound;
  UrlRecorder mail;
  int ends = 0;
  frmTessel window{sound, mail, [this] { ++ends; }};

  std::uint64_t seed = stormSeed();
  std::mt19937_64 rng{seed};
  std::map<const QWidget*, const KanaCell*> cellOf;
  std::vector<QWidget*> buttons;
  int ticksDelivered = 0;
  PaintCounter cellPaints, windowPaints;

  // The model.
  int eventNumber = 0;
  Qt::MouseButtons held;
  QWidget* grabber = nullptr;
  QPoint lastPos{-1, -1};
  bool framed = false, leftPressInside = false;
  std::int16_t lastCell = 1;  // Form_Load points the markers at cell 1
  int activations = 0;
  std::int16_t readIndex = 1;
  bool reading = false;
  bool labelVisible = true, labelBlue = false;
  int mailRequests = 0, closeRequests = 0;
  std::deque<std::string> recent;
};

TEST_F(EventStorm, EveryEventLeavesTheWindowConsistent) {
  std::printf("event storm seed: %llu (replay with TESSEL_STORM_SEED=%llu)\n",
              static_cast<unsigned long long>(seed), static_cast<unsigned long long>(seed));
  std::fflush(stdout);
  ASSERT_TRUE(consistent()) << "right after loading";
  for (eventNumber = 1; eventNumber <= kEvents; ++eventNumber) {
    randomEvent();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(consistent()) << "at event " << eventNumber;
  }
  // The storm must have been a storm: every kind of event happened.
  EXPECT_GT(activations, 1000);
  EXPECT_GT(ticksDelivered, 100);
  EXPECT_GT(mailRequests, 0);
  EXPECT_GT(closeRequests, 0);
  EXPECT_GT(cellPaints.paints, 1000) << "the frames must have been drawn";
  EXPECT_GT(windowPaints.paints, 100);
  std::printf("%d activations, %d ticks, %d mail requests, %d closes, %d + %d paints\n",
              activations, ticksDelivered, mailRequests, closeRequests, windowPaints.paints,
              cellPaints.paints);
}

}  // namespace
}  // namespace tessel
