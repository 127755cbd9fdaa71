// The chart from the keyboard alone, from start-up, in the real window: Tab reaches it after the
// buttons, the arrows reach all 96 kana, Space, Return and Enter speak the focused kana as a click
// does, and the focus ring shows only while the chart has the focus. No pointer event is sent
// except in the mouse-only session, which must never show the ring. Where each step leads is the
// unit tests' to check (chart_steps_test.cpp); here, that the keys reach it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <set>

#include "form/kana_cells.h"
#include "support/recorders.h"
#include "window/frm_tessel.h"

namespace tessel {
namespace {

using testing::KeyRecorder;
using testing::UrlRecorder;

class Keyboard : public ::testing::Test {
 protected:
  void SetUp() override {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  }

  void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
    QTest::keyClick(window.windowHandle(), k, m);
  }
  void tabIntoTheChart() {
    for (int i = 0; i < 3; ++i) key(Qt::Key_Tab);
  }
  // The index of the cell that has the focus, or 0.
  std::int16_t focusedCell() {
    const auto* cell = qobject_cast<const CellWidget*>(QApplication::focusWidget());
    return cell ? cell->index() : std::int16_t{0};
  }
  QRect inWindow(const QWidget& w) { return QRect(w.mapTo(&window, QPoint(0, 0)), w.size()); }
  // Pixels of the focus ring's colour in `area` of the window.
  int ringPixels(const QRect& area) {
    const QImage image = window.grab(area).toImage();
    const QColor ring = window.palette().color(QPalette::Highlight);
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) n += image.pixelColor(x, y) == ring;
    }
    return n;
  }

  KeyRecorder sound;
  UrlRecorder mail;
  frmTessel window{sound, mail, [] {}};
};

TEST_F(Keyboard, TabReachesTheChartAfterTheButtonsAndComesBackToTheLastKana) {
  struct Step {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    const QWidget* focus;
  };
  const Step steps[] = {
      {Qt::Key_Tab, Qt::NoModifier, &window.command2()},
      {Qt::Key_Tab, Qt::NoModifier, &window.command3()},
      {Qt::Key_Tab, Qt::NoModifier, window.image1(1)},  // あ the first time
      {Qt::Key_Tab, Qt::NoModifier, &window.command1()},
      {Qt::Key_Tab, Qt::ShiftModifier, window.image1(1)},
      {Qt::Key_Down, Qt::NoModifier, window.image1(2)},
      {Qt::Key_Tab, Qt::NoModifier, &window.command1()},
      {Qt::Key_Tab, Qt::ShiftModifier, window.image1(2)},  // the last kana that had the focus
      {Qt::Key_Tab, Qt::ShiftModifier, &window.command3()},
      {Qt::Key_Tab, Qt::NoModifier, window.image1(2)},
  };
  EXPECT_EQ(QApplication::focusWidget(), &window.command1()) << "the first focus at start";
  int n = 0;
  for (const Step& step : steps) {
    key(step.key, step.modifiers);
    EXPECT_EQ(QApplication::focusWidget(), step.focus) << "step " << n++;
  }
  EXPECT_TRUE(sound.keys.empty()) << "moving the focus speaks nothing";
}

TEST_F(Keyboard, DownReadsAll96KanaInChartOrderAndComesRound) {
  tabIntoTheChart();
  std::vector<std::int16_t> visited{focusedCell()};
  for (int i = 1; i < 96; ++i) {
    key(Qt::Key_Down);
    visited.push_back(focusedCell());
  }
  std::vector<std::int16_t> chartOrder;
  for (const KanaCell& cell : allCells()) chartOrder.push_back(cell.index);
  EXPECT_EQ(std::set<std::int16_t>(visited.begin(), visited.end()).size(), 96u);
  EXPECT_EQ(visited, chartOrder);
  key(Qt::Key_Down);
  EXPECT_EQ(focusedCell(), 1);
}

TEST_F(Keyboard, EveryMovingKeyTakesItsStep) {
  const std::pair<Qt::Key, std::int16_t> walk[] = {
      {Qt::Key_Down, 2},       {Qt::Key_Left, 7},  {Qt::Key_Right, 2},  {Qt::Key_Up, 1},
      {Qt::Key_PageDown, 101}, {Qt::Key_End, 148}, {Qt::Key_Home, 101}, {Qt::Key_PageUp, 1},
  };
  tabIntoTheChart();
  for (const auto& [k, to] : walk) {
    key(k);
    EXPECT_EQ(focusedCell(), to) << "key " << k;
  }
}

struct ActivationCase {
  std::vector<Qt::Key> path;  // from あ
  Qt::Key key;
  Qt::KeyboardModifiers modifiers;
  std::int16_t cell;
  const char* sound;
  float rowMarkerTop, columnMarkerLeft;
};

void PrintTo(const ActivationCase& c, std::ostream* os) {
  *os << "cell " << c.cell << " by key " << c.key;
}

class KeyActivation : public Keyboard, public ::testing::WithParamInterface<ActivationCase> {};

TEST_P(KeyActivation, SpeaksTheFocusedKanaOnceOnReleaseFramedWhileHeld) {
  const ActivationCase& c = GetParam();
  tabIntoTheChart();
  for (Qt::Key k : c.path) key(k);
  ASSERT_EQ(focusedCell(), c.cell);
  CellWidget& cell = *window.image1(c.cell);

  QTest::keyPress(window.windowHandle(), c.key, c.modifiers);
  EXPECT_EQ(cell.borderStyle(), kBorderSingle) << "framed while the key is down";
  // A held key repeats; on X11 each repeat arrives as a release and a press.
  for (int i = 0; i < 3; ++i) {
    for (QEvent::Type type : {QEvent::KeyRelease, QEvent::KeyPress}) {
      QKeyEvent repeat(type, c.key, c.modifiers, QString(), true);
      QApplication::sendEvent(&cell, &repeat);
    }
  }
  // The other activating key, pressed and let go meanwhile, presses nothing more.
  QTest::keyClick(window.windowHandle(), c.key == Qt::Key_Space ? Qt::Key_Return : Qt::Key_Space);
  EXPECT_EQ(cell.borderStyle(), kBorderSingle);
  EXPECT_TRUE(sound.keys.empty()) << "a click speaks on release";
  QTest::keyRelease(window.windowHandle(), c.key, c.modifiers);

  EXPECT_EQ(cell.borderStyle(), kBorderNone);
  EXPECT_EQ(sound.keys, std::vector<std::string>{c.sound});
  EXPECT_EQ(window.imgRight().top(), c.rowMarkerTop);
  EXPECT_EQ(window.imgTop().left(), c.columnMarkerLeft);
  EXPECT_EQ(focusedCell(), c.cell) << "the focus stays on the kana";
}

INSTANTIATE_TEST_SUITE_P(
    BothHalves, KeyActivation,
    ::testing::Values(
        // ゆ, over や's gap
        ActivationCase{{Qt::Key_Left, Qt::Key_Left, Qt::Key_Left, Qt::Key_Left, Qt::Key_Left,
                        Qt::Key_Left, Qt::Key_Left, Qt::Key_Down},
                       Qt::Key_Space,
                       Qt::NoModifier,
                       37,
                       "137",
                       1570,
                       2035},
        // ヲ
        ActivationCase{{Qt::Key_PageDown, Qt::Key_End, Qt::Key_Up},
                       Qt::Key_Return,
                       Qt::NoModifier,
                       147,
                       "147",
                       6355,
                       835},
        // ト, the cell off the grid, with the keypad's Enter
        ActivationCase{{Qt::Key_PageDown, Qt::Key_Left, Qt::Key_Left, Qt::Key_Left, Qt::Key_Down,
                        Qt::Key_Down, Qt::Key_Down, Qt::Key_Down},
                       Qt::Key_Enter,
                       Qt::KeypadModifier,
                       120,
                       "120",
                       6370,
                       4435},
        // き
        ActivationCase{
            {Qt::Key_Down, Qt::Key_Left}, Qt::Key_Return, Qt::NoModifier, 7, "107", 970, 5620}));

TEST_F(Keyboard, TheFocusRingShowsOnlyWhileTheChartHasTheFocus) {
  const QRect a = inWindow(*window.image1(1));
  const QImage unfocused = window.grab(a).toImage();
  EXPECT_EQ(ringPixels(a), 0);

  tabIntoTheChart();
  const int ring = ringPixels(a);
  EXPECT_GT(ring, 100);
  EXPECT_EQ(ringPixels(window.rect()), ring) << "one ring, on the focused kana";

  // Pressed and focused at once: the pressed frame shows and leaves the ring whole.
  QTest::keyPress(window.windowHandle(), Qt::Key_Space);
  const QImage focused = window.grab(a).toImage();
  EXPECT_EQ(ringPixels(a), ring);
  QTest::keyRelease(window.windowHandle(), Qt::Key_Space);
  EXPECT_NE(window.grab(a).toImage(), focused) << "the pressed frame is not the ring";

  key(Qt::Key_Tab);
  EXPECT_EQ(window.grab(a).toImage(), unfocused) << "gone with the focus";
  key(Qt::Key_Tab, Qt::ShiftModifier);
  EXPECT_EQ(ringPixels(a), ring);

  QWidget other;  // another window takes the keyboard
  other.show();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
  EXPECT_EQ(window.grab(a).toImage(), unfocused) << "shown while another window is active";
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  EXPECT_EQ(ringPixels(a), ring) << "back with the window's focus";
}

TEST_F(Keyboard, AMouseOnlySessionNeverShowsTheRing) {
  QWindow* handle = window.windowHandle();
  const auto centre = [this](std::int16_t i) { return inWindow(*window.image1(i)).center(); };
  for (std::int16_t index : {1, 2, 37, 101, 120, 148}) {
    QTest::mouseMove(handle, centre(index));
    QTest::mouseClick(handle, Qt::LeftButton, Qt::NoModifier, centre(index));
    QTest::mouseClick(handle, Qt::RightButton, Qt::NoModifier, centre(index));
  }
  QTest::mouseDClick(handle, Qt::LeftButton, Qt::NoModifier, centre(1));
  EXPECT_EQ(sound.keys.size(), 7u);
  EXPECT_EQ(focusedCell(), 0) << "a click gives a kana no focus";
  EXPECT_EQ(ringPixels({0, 0, kChartWidth, kChartHeight}), 0);
}

}  // namespace
}  // namespace tessel
