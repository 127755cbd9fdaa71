// The floor for Tessel's start-up, memory and idle figures: a plain white Qt 6 window of the same
// size (632 x 490) and nothing else. No sound, no pictures, no text.
//
//   tessel_bare_window                 stays open (memory and idle are measured on it)
//   tessel_bare_window --first-frame   prints its time stamps and exits once the first frame is
//                                      in the X server (tessel_startup runs it this way)
#include <QApplication>
#include <QPalette>
#include <QWidget>
#include <cstring>

#include "first_frame.h"

int main(int argc, char** argv) {
  bench::stamp("main");
  const bool firstFrameOnly = argc > 1 && std::strcmp(argv[1], "--first-frame") == 0;
  QApplication app(argc, argv);
  bench::stamp("app");

  QWidget window;
  window.setWindowTitle(QStringLiteral("bare"));
  window.setFixedSize(632, 490);
  QPalette white = window.palette();
  white.setColor(QPalette::Window, Qt::white);
  window.setPalette(white);
  window.setAutoFillBackground(true);
  bench::stamp("window");

  bench::FirstFrame probe(firstFrameOnly);
  window.installEventFilter(&probe);
  window.show();
  bench::stamp("shown");
  return QApplication::exec();
}
