// One ordinary session through the real window with the real sound player, run in the event loop
// and ended by the close button, then a leak check while the process is still alive: whatever our
// code allocated for the window, the recordings and the audio device must be gone by then.
#include <gtest/gtest.h>
#include <sanitizer/lsan_interface.h>

#include <QApplication>
#include <QTest>
#include <QTimer>

#include "form/kana_cells.h"
#include "sound/sound_player.h"
#include "support/recorders.h"
#include "window/frm_tessel.h"

namespace tessel {
namespace {

TEST(LeakSession, ASessionEndedByCloseLeavesNothingBehind) {
  {
    SoundPlayer sound;              // SDL's dummy driver: a real device thread, nothing to hear
    testing::UrlRecorder mail;      // the desktop's handler would start a process of its own
    frmTessel window(sound, mail);  // the real close: leaves the event loop
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const auto click = [&](const QWidget& w) {
      QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {},
                        w.mapTo(&window, w.rect().center()));
    };
    QTimer::singleShot(0, &window, [&] {
      for (const KanaCell& cell : allCells()) click(*window.image1(cell.index));
      click(window.command3());  // auto-read on, a tick, and off
      QMetaObject::invokeMethod(&window.timer1(), "timeout");
      click(window.command3());
      click(window.command2());  // About: hide the credit line and show it again
      click(window.command2());
      click(window.label1());
      click(window.command1());  // Close
    });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_EQ(mail.urls.size(), 1u) << "the script did not run to the end";
  }
  EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0) << "leaks are listed above";
}

}  // namespace
}  // namespace tessel
