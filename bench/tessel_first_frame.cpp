// Tessel's start-up, timed: the same steps as window/main.cpp, in the same order, with the real
// SoundPlayer, mail link and frmTessel, plus time stamps between the steps and a watch for the
// window's first frame (first_frame.h). tessel_startup runs it with --first-frame and compares it
// with tessel_bare_window.
//
// Left out from main.cpp: the handler that holds Qt's start-up warnings back until the
// application object exists (it only stores strings, and none are issued on a working display),
// and the heap trim a second after the window shows.
#include <QApplication>
#include <cstring>

#include "first_frame.h"
#include "form/layout.h"
#include "sound/sound_player.h"
#include "window/after_first_paint.h"
#include "window/application.h"
#include "window/desktop_mail_link.h"
#include "window/frm_tessel.h"
#include "window/svg_picture.h"

int main(int argc, char** argv) {
  bench::stamp("main");
  const bool firstFrameOnly = argc > 1 && std::strcmp(argv[1], "--first-frame") == 0;
  tessel::describeApplication();
  QApplication app(argc, argv);
  bench::stamp("app");

  tessel::LateSound<tessel::SoundPlayer> sound;
  tessel::DesktopMailLink mail;
  tessel::frmTessel window(sound, mail);
  tessel::afterFirstPaint(window, [&sound] {
    sound.open();
    QApplication::setWindowIcon(
        tessel::artworkIcon(QString::fromUtf8(tessel::kIconPicture.data())));
  });
  bench::stamp("window");

  // Installed last, so it sees the first paint first and stamps the frame before the work above.
  bench::FirstFrame probe(firstFrameOnly);
  window.installEventFilter(&probe);
  window.show();
  bench::stamp("shown");
  return QApplication::exec();
}
