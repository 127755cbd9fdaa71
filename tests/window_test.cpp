// The real frmTessel: geometry, captions, tab order, painting, cursors and the real timer. How
// pointer events reach the handlers is the event storm's to check (event_storm_test.cpp).
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QScreen>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>
#include <QTextLayout>

#include "chart/cell_activation.h"
#include "credits/credits.h"
#include "form/kana_cells.h"
#include "form/layout.h"
#include "support/recorders.h"
#include "window/after_first_paint.h"
#include "window/caption_font.h"
#include "window/frm_tessel.h"
#include "window/svg_picture.h"

namespace tessel {
namespace {

using testing::KeyRecorder;
using testing::UrlRecorder;

class Window : public ::testing::Test {
 protected:
  void SetUp() override {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  }
  QWindow* handle() { return window.windowHandle(); }
  QRect inWindow(const QWidget& w) { return QRect(w.mapTo(&window, QPoint(0, 0)), w.size()); }
  QPoint centreOf(std::int16_t index) { return inWindow(*window.image1(index)).center(); }
  void moveTo(QPoint p) {
    QTest::mouseMove(handle(), p);
    QApplication::processEvents();
  }

  KeyRecorder sound;
  UrlRecorder mail;
  frmTessel window{sound, mail, [] {}};
};

// The sound output and the icon wait for the first frame; that work must then run, and only once.
TEST(FirstPaint, RunsTheDeferredWorkOnceTheWindowIsDrawn) {
  KeyRecorder sound;
  UrlRecorder mail;
  frmTessel window(sound, mail, [] {});
  int runs = 0;
  afterFirstPaint(window, [&runs] { ++runs; });
  QApplication::processEvents();
  EXPECT_EQ(runs, 0) << "ran before the window was shown";
  window.show();
  EXPECT_TRUE(QTest::qWaitFor([&runs] { return runs > 0; }, 2000));
  window.repaint();
  QApplication::processEvents();
  EXPECT_EQ(runs, 1);
}

TEST_F(Window, HasTheFixedClientSizeAndCaption) {
  EXPECT_EQ(window.size(), QSize(632, 490));
  EXPECT_EQ(window.minimumSize(), window.maximumSize()) << "the layout does not adapt to resizing";
  for (Qt::WindowState state : {Qt::WindowFullScreen, Qt::WindowMaximized}) {
    window.setWindowState(state);  // as a window manager that ignores the fixed size would
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.windowState() == Qt::WindowNoState; }));
  }
  EXPECT_EQ(window.windowTitle(), QString::fromUtf16(u"Morlen日语五十音"));
}

TEST_F(Window, PanelControlsSitAtTheirPixelPositions) {
  const std::pair<const QWidget*, QRect> expected[] = {
      {window.command3().parentWidget(), {530, 383, 81, 27}},
      {window.command2().parentWidget(), {530, 418, 81, 27}},
      {window.command1().parentWidget(), {530, 453, 81, 27}},
      {&window.command3(), {532, 385, 77, 23}},
      {&window.command2(), {532, 420, 77, 23}},
      {&window.command1(), {532, 455, 77, 23}},
      {&window.label1(), {548, 342, 65, 31}},
      {&window.image50(), {521, 72, 166, 214}},
      // The markers as Form_Load left them, on cell 1.
      {&window.imgRight(), {463, 25, 64, 72}},
      {&window.imgTop(), {414, 23, 27, 14}},
  };
  int n = 0;
  for (const auto& [widget, rect] : expected) EXPECT_EQ(inWindow(*widget), rect) << "row " << n++;
}

// The tab order, with the chart after the buttons, is the keyboard tests' (keyboard_test.cpp).
TEST_F(Window, Captions) {
  EXPECT_EQ(window.command3().text(), QString::fromUtf16(u"自动朗读"));
  EXPECT_EQ(window.command2().text(), QString::fromUtf16(u"关    于"));
  EXPECT_EQ(window.command1().text(), QString::fromUtf16(u"关闭窗口"));
  EXPECT_EQ(window.label1().text(), QString::fromUtf16(u"Morlen制作联系作者  "));
}

TEST_F(Window, LaterControlsStackOnTop) {
  // Neighbouring cells overlap by a pixel or two; the decoration covers the row marker's edge.
  EXPECT_EQ(window.childAt(408, 60), window.image1(1)) << "cell 1 is created after cell 6";
  EXPECT_EQ(window.childAt(523, 80), &window.image50());
  EXPECT_EQ(window.childAt(470, 60), &window.imgRight());
}

TEST_F(Window, EveryCellLiesOnItsKanaAndAClickOnItSpeaksIt) {
  for (const KanaCell& cell : allCells()) {
    ASSERT_EQ(inWindow(*window.image1(cell.index)),
              QRect(cell.left / kTwipsPerPixel, cell.top / kTwipsPerPixel, 41, 41))
        << cell.index;
    sound.keys.clear();
    QTest::mouseClick(handle(), Qt::LeftButton, Qt::NoModifier, centreOf(cell.index));
    ASSERT_EQ(sound.keys, std::vector<std::string>{soundKey(cell.index)}) << cell.index;
    // The markers' pictures follow their twips (the handler's arithmetic is tested on its own).
    EXPECT_EQ(window.imgTop().x(), toPixels(window.imgTop().left())) << cell.index;
    EXPECT_EQ(window.imgRight().y(), toPixels(window.imgRight().top())) << cell.index;
    EXPECT_EQ(window.image1(cell.index)->borderStyle(), kBorderNone) << "unframed by release";
  }
}

// Quick clicks through the whole of Qt's pointer path, at the times given: a learner comparing
// kana clicks faster than the double-click interval, and every click must speak but the second of
// a true double click (same kana, within the interval, nothing clicked in between).
TEST_F(Window, QuickClicksAllSpeakButTheSecondOfADoubleClick) {
  struct Case {
    const char* what;
    std::vector<std::int16_t> cells;
    int periodMs;
    std::vector<int> silent;  // which clicks are second halves of a double click
  };
  const Case cases[] = {
      {"か and あ alternating, 10 a second", {6, 1, 6, 1, 6, 1, 6, 1, 6, 1}, 100, {}},
      {"across both halves, 20 a second", {1, 102, 33, 148, 6, 1, 120, 47}, 50, {}},
      {"a double click, and a third click starting afresh", {6, 6, 6, 6, 6}, 120, {1, 3}},
      {"a click elsewhere in between", {6, 1, 6, 6}, 100, {3}},
      {"slower than the interval", {6, 6}, 600, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sound.keys.clear();
    std::vector<std::string> expected;
    // Past anything before, so no earlier press pairs up with this case's first.
    int at = QTest::lastMouseTimestamp + 5000;
    for (std::size_t i = 0; i < c.cells.size(); ++i, at += c.periodMs) {
      // QTest adds a millisecond before each event, and half a second after a release.
      QTest::lastMouseTimestamp = at - 1;
      QTest::mousePress(handle(), Qt::LeftButton, {}, centreOf(c.cells[i]));
      QTest::lastMouseTimestamp = at + c.periodMs / 3 - 1;
      QTest::mouseRelease(handle(), Qt::LeftButton, {}, centreOf(c.cells[i]));
      if (std::find(c.silent.begin(), c.silent.end(), i) == c.silent.end())
        expected.push_back(soundKey(c.cells[i]));
    }
    EXPECT_EQ(sound.keys, expected);
  }
}

// Counts the cursor changes a widget announces: each one is a round trip to the window system.
struct CursorChanges : QObject {
  bool eventFilter(QObject*, QEvent* event) override {
    count += event->type() == QEvent::CursorChange;
    return false;
  }
  int count = 0;
};

TEST_F(Window, HoveringACellShowsTheHandWhichIsSetOnceNotOnEveryMove) {
  EXPECT_EQ(window.image1(30)->cursor().shape(), Qt::ArrowCursor);
  moveTo(centreOf(30));
  EXPECT_EQ(window.image1(30)->cursor().shape(), Qt::BitmapCursor);
  CursorChanges changes;
  window.image1(30)->installEventFilter(&changes);
  for (int dx = 1; dx <= 10; ++dx) moveTo(centreOf(30) + QPoint(dx % 5, 0));
  EXPECT_EQ(changes.count, 0);
}

TEST_F(Window, ReturnAndEnterPressTheFocusedButtonOnceAsSpaceDoes) {
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  for (ButtonWidget* button : {&window.command1(), &window.command2(), &window.command3()}) {
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
      button->setFocus();
      QSignalSpy clicks(button, &QPushButton::clicked);
      QTest::keyPress(handle(), key);
      QKeyEvent repeat(QEvent::KeyPress, key, Qt::NoModifier, QString(), true);  // held down
      QApplication::sendEvent(button, &repeat);
      EXPECT_EQ(clicks.count(), 0) << "a button clicks on release";
      QTest::keyRelease(handle(), key);
      EXPECT_EQ(clicks.count(), 1) << button->text().toStdString() << " key " << key;
    }
  }
}

TEST_F(Window, AutoReadTicksOnceASecondOnTheRealTimer) {
  QElapsedTimer clock;
  QTest::mouseClick(&window.command3(), Qt::LeftButton);
  clock.start();
  EXPECT_EQ(window.command3().text(), QString::fromUtf16(u"随指随读"));
  EXPECT_TRUE(window.timer1().isActive());
  while (sound.keys.empty() && clock.elapsed() < 3000) QTest::qWait(5);
  const qint64 first = clock.elapsed();
  ASSERT_EQ(sound.keys, std::vector<std::string>{"101"});
  EXPECT_GE(first, 950);
  EXPECT_LE(first, 1300);
  while (sound.keys.size() < 2 && clock.elapsed() < 4000) QTest::qWait(5);
  EXPECT_EQ(sound.keys.back(), "102");
  QTest::mouseClick(&window.command3(), Qt::LeftButton);
  EXPECT_FALSE(window.timer1().isActive());
  EXPECT_EQ(window.command3().text(), QString::fromUtf16(u"自动朗读"));
}

// What the screen shows of a pressed cell: a one-pixel frame on the cell's own edge pixels, from
// the press to the release. A left press warms the sound; another button's does not.
TEST_F(Window, APressedCellShowsItsFrameOnItsOwnEdgesAndALeftPressWarmsTheSound) {
  const QRect r = inWindow(*window.image1(6));
  const auto shown = [&] {
    QApplication::processEvents();
    return window.screen()->grabWindow(window.winId()).toImage();
  };
  const QImage before = shown();
  QTest::mousePress(handle(), Qt::RightButton, {}, r.center());
  QTest::mouseRelease(handle(), Qt::RightButton, {}, r.center());
  EXPECT_EQ(sound.warms, 0);
  QTest::mousePress(handle(), Qt::LeftButton, {}, r.center());
  EXPECT_EQ(sound.warms, 1);
  const QImage pressed = shown();
  QTest::mouseRelease(handle(), Qt::LeftButton, {}, r.center());
  const QImage released = shown();
  for (const QPoint edge : {r.topLeft(), r.bottomRight(), QPoint(r.right(), r.center().y()),
                            QPoint(r.center().x(), r.bottom())}) {
    EXPECT_EQ(pressed.pixelColor(edge), QColor(Qt::black)) << edge.x() << "," << edge.y();
    EXPECT_EQ(released.pixelColor(edge), before.pixelColor(edge)) << edge.x() << "," << edge.y();
  }
  EXPECT_EQ(pressed.pixelColor(r.center()), before.pixelColor(r.center()));
}

// The build draws every picture and caption the window shows at the common ratios; one the window
// had to draw itself there would be a look the build missed, paid for at run time.
TEST_F(Window, ShowsOnlyWhatTheBuildDrewInEveryState) {
  QStyle* style = QApplication::style();
  ASSERT_EQ(style->name().toLower(), QStringLiteral("fusion")) << "the build draws for Fusion";
  const auto paint = [&] { window.grab(); };
  paint();
  for (QPushButton* button : {&window.command1(), &window.command2(), &window.command3()}) {
    button->setDown(true);  // the pressed look, without a click
    paint();
    button->setDown(false);
  }
  QTest::mouseClick(&window.command3(), Qt::LeftButton);  // auto-read on
  paint();
  QTest::mouseClick(&window.command3(), Qt::LeftButton);
  QTest::mouseClick(&window.command2(), Qt::LeftButton);  // the credit line shows
  moveTo(inWindow(window.label1()).center());
  paint();
  EXPECT_EQ(picturesDrawnAtRunTime(), 0);
}

TEST_F(Window, AssistiveTechnologyKnowsEveryKanaAsAButtonThatSpeaks) {
  for (const KanaCell& cell : allCells()) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(window.image1(cell.index));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->role(), QAccessible::Button) << cell.index;
    EXPECT_EQ(a->text(QAccessible::Name).toStdString(),
              std::string(cell.kana) + " " + std::string(cell.romaji));
  }
  QAccessibleInterface* ka = QAccessible::queryAccessibleInterface(window.image1(6));
  ka->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
  EXPECT_EQ(sound.keys, std::vector<std::string>{"106"});
}

// That the action reaches the desktop's opener is the screen-reader test's (e2e/screen_reader.sh).
TEST_F(Window, TheCreditLinksActionIsAClickSoItActsOnlyWhileTheLineShows) {
  QAccessibleInterface* link = QAccessible::queryAccessibleInterface(&window.label1());
  ASSERT_EQ(link->role(), QAccessible::Link);
  EXPECT_TRUE(link->state().linked);
  const auto press = [link] {
    link->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
  };
  QTest::mouseClick(&window.command2(), Qt::LeftButton);  // About hides the line
  press();
  EXPECT_TRUE(mail.urls.empty());
  QTest::mouseClick(&window.command2(), Qt::LeftButton);
  press();
  EXPECT_EQ(mail.urls, std::vector<std::string>{contactUrl()});
}

// ctest runs this again under LANG=ja_JP.UTF-8 and with a fontconfig that hides every CJK font.
TEST(Captions, LookAndWrapTheSameWhateverTheDesktopFontAndColours) {
  const QFont desktop = QApplication::font();
  const QPalette colours = QApplication::palette();
  QImage first;
  for (int points : {9, 10, 11, 12}) {
    QFont font = desktop;
    font.setPointSize(points);
    QApplication::setFont(font);
    QApplication::setPalette(QPalette(QColor::fromHsv(points * 30, 90, 255 - points * 10)));
    KeyRecorder sound;
    UrlRecorder mail;
    frmTessel window(sound, mail, [] {});
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QImage panel = window.grab(QRect(521, 300, 111, 190)).toImage();
    if (first.isNull()) first = panel;
    EXPECT_TRUE(panel == first) << "the panel differs at " << points << " pt";
    // Laid out as QLabel lays out its text: every glyph from one face that has it (no boxes, no
    // mixed faces), on two whole lines.
    const QString text = window.label1().text() + window.command1().text() +
                         window.command2().text() + window.command3().text();
    QTextLayout layout(text, captionFont());
    QTextOption wrap;
    wrap.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(wrap);
    layout.beginLayout();
    QStringList lines;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
      line.setLineWidth(window.label1().contentsRect().width());
      lines << text.mid(line.textStart(), line.textLength());
    }
    layout.endLayout();
    QSet<QString> faces;
    for (const QGlyphRun& run : layout.glyphRuns()) {
      faces << run.rawFont().familyName();
      EXPECT_FALSE(run.glyphIndexes().contains(0)) << "a missing glyph at " << points << " pt";
    }
    EXPECT_EQ(faces.size(), 1) << faces.values().join(u',').toStdString();
    EXPECT_TRUE(lines.join(u'|').startsWith(QString::fromUtf16(u"Morlen制作|联系作者  |")))
        << lines.join(u'|').toStdString();
  }
  QApplication::setFont(desktop);
  QApplication::setPalette(colours);
}

}  // namespace
}  // namespace tessel
