#include "window/startup.h"

#include <malloc.h>

#include <QApplication>
#include <QStringList>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "form/layout.h"
#include "sound/sound_player.h"
#include "window/after_first_paint.h"
#include "window/application.h"
#include "window/desktop_mail_link.h"
#include "window/frm_tessel.h"
#include "window/svg_picture.h"

namespace tessel {
namespace {

// Qt reports a missing display as several warnings and then aborts. While the application object
// is being made, hold its messages back; if it cannot start, say so in one line and exit cleanly.
QStringList heldMessages;
QtMessageHandler previousHandler = nullptr;

void holdStartupMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtFatalMsg) {
    std::fprintf(stderr,
                 "tessel: cannot open a window: no usable display (is DISPLAY or "
                 "WAYLAND_DISPLAY set to a running desktop?)\n");
    std::_Exit(EXIT_FAILURE);
  }
  (void)context;
  heldMessages.append(text);
}

void releaseStartupMessages() {
  qInstallMessageHandler(previousHandler);
  for (const QString& text : std::as_const(heldMessages)) qWarning("%s", qUtf8Printable(text));
  heldMessages.clear();
}

}  // namespace

int runTessel(int& argc, char** argv, StartupWatch* watch) {
  describeApplication();
  previousHandler = qInstallMessageHandler(&holdStartupMessage);
  QApplication app(argc, argv);
  releaseStartupMessages();
  if (watch) watch->reached("app", nullptr);
  LateSound<SoundPlayer> sound;  // opened once the first frame is up
  DesktopMailLink mail;
  frmTessel window(sound, mail);
  afterFirstPaint(window, [&sound] {
    sound.open();
    QApplication::setWindowIcon(artworkIcon(QString::fromUtf8(kIconPicture.data())));
    // Building the window and the icon leaves freed heap behind; hand it back to the system once
    // the window is up instead of keeping it for the rest of the session.
    QTimer::singleShot(1000, [] { malloc_trim(0); });
  });
  if (watch) watch->reached("window", &window);
  window.show();
  if (watch) watch->reached("shown", &window);
  return QApplication::exec();
}

}  // namespace tessel
