// Time stamps on a program's way to its first frame, shared by the two programs that
// tessel_startup launches (the bare window and the Tessel start-up copy) so both are timed the
// same way.
//
// Every stamp is CLOCK_MONOTONIC (monotonic.h): the launcher takes its own stamp just before it
// execs the program and subtracts. Stamps go to stdout as
// "stamp NAME NANOSECONDS" lines and are flushed only once the frame is done, so printing costs
// nothing on the measured path.
#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QObject>
#include <QTimer>
#include <cstdio>

#include "monotonic.h"

#ifdef TESSEL_BENCH_HAVE_XCB
#include <xcb/xcb.h>

#include <cstdlib>
#endif

namespace bench {

inline void stamp(const char* name) {
  std::printf("stamp %s %lld\n", name, monotonicNs());
}

// Installed on the top-level widget. The first Paint event that reaches it opens the first frame:
// Qt paints a window in one pass, parent before children, and ends the pass by flushing the
// backing store to the window system. A zero timer started then runs only after that pass has
// returned to the event loop; there a round trip to the X server (a request that needs a reply)
// waits until the server has also taken the frame's pixels. "frame" is that moment: the first
// complete picture of the window is in the server, ready to be seen.
class FirstFrame : public QObject {
 public:
  explicit FirstFrame(bool exitAfter) : exitAfter_(exitAfter) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !seen_) {
      seen_ = true;
      stamp("paint");
      QTimer::singleShot(0, this, [this] { frameDone(); });
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  void frameDone() {
    const bool synced = roundTrip();
    stamp("frame");
    std::printf("x-round-trip %s\n", synced ? "yes" : "no");
    std::fflush(stdout);
    if (exitAfter_) QCoreApplication::exit(0);
  }

  static bool roundTrip() {
#ifdef TESSEL_BENCH_HAVE_XCB
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
      xcb_connection_t* c = x11->connection();
      std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
      return true;
    }
#endif
    return false;
  }

  bool exitAfter_;
  bool seen_ = false;
};

}  // namespace bench
