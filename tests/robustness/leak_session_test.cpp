// One ordinary session through the real window with the real sound player, run in the event loop
// and ended by the close button, then a leak check while the process is still alive: whatever our
// code allocated for the window, the recordings and the audio device must be gone by then.
// LeakSanitizer checks once more at exit, after the application object has gone too.
#include <gtest/gtest.h>
#include <sanitizer/lsan_interface.h>

#include <QApplication>
#include <QMetaObject>
#include <QTest>
#include <QTimer>
#include <string>
#include <vector>

#include "credits/credits.h"
#include "form/kana_cells.h"
#include "sound/sound_player.h"
#include "support/recorders.h"
#include "window/frm_tessel.h"

namespace tessel {
namespace {

using testing::UrlRecorder;

TEST(LeakSession, ASessionEndedByCloseLeavesNothingBehind) {
  {
    SoundPlayer sound;              // SDL's dummy driver: a real device thread, nothing to hear
    UrlRecorder mail;               // the desktop mail handler would start a process of its own
    frmTessel window(sound, mail);  // the real close: leaves the event loop
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_TRUE(sound.hasDevice()) << "the dummy audio driver should open";

    QWindow* handle = window.windowHandle();
    const auto click = [&](QPoint p) { QTest::mouseClick(handle, Qt::LeftButton, {}, p); };
    bool scriptRan = false;
    QTimer::singleShot(0, &window, [&] {
      const auto cells = allCells();
      for (int n = 0; n < 100; ++n) {
        const KanaCell& cell = cells[static_cast<std::size_t>(n * 37) % cells.size()];
        click(QPoint(cell.left / kTwipsPerPixel + 20, cell.top / kTwipsPerPixel + 20));
      }
      click({570, 396});  // auto-read on
      for (int n = 0; n < 5; ++n) QMetaObject::invokeMethod(&window.timer1(), "timeout");
      click({570, 396});  // off
      click({570, 431});  // About: hide the credit line
      click({570, 431});  // and show it again
      click(window.label1().geometry().center());
      scriptRan = true;
      click({570, 466});  // Close
    });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_TRUE(scriptRan);
    EXPECT_EQ(window.autoRead().readIndex(), 1);
    EXPECT_EQ(mail.urls.size(), 1u);
  }
  EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0) << "leaks are listed above";
}

}  // namespace
}  // namespace tessel
