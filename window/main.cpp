// Tessel: a kana chart that speaks. One window; every kana on it is a click target.
#include <malloc.h>

#include <QApplication>
#include <QStringList>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string_view>

#include "credits/credits.h"
#include "form/layout.h"
#include "sound/sound_player.h"
#include "window/after_first_paint.h"
#include "window/application.h"
#include "window/desktop_mail_link.h"
#include "window/frm_tessel.h"
#include "window/svg_picture.h"

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

// The program takes no options. These two are what anyone at a command line tries first, so they
// answer without a display; any other argument is left to Qt and otherwise ignored.
constexpr const char* kHelpText =
    "Usage: tessel\n"
    "A kana chart that speaks: click a kana in its window to hear it.\n"
    "It takes no options and has no settings; other arguments are ignored.\n"
    "  --help     show this text and exit\n"
    "  --version  show the version and exit\n";

}  // namespace

int main(int argc, char** argv) {
  for (const std::string_view arg : std::span(argv, argc).subspan(1)) {
    if (arg == "--help") {
      std::printf("%sReport problems to <%.*s>.\n", kHelpText,
                  static_cast<int>(tessel::kContactAddress.size()), tessel::kContactAddress.data());
      return EXIT_SUCCESS;
    }
    if (arg == "--version") {
      std::printf("tessel %s\n", TESSEL_VERSION);
      return EXIT_SUCCESS;
    }
  }
  tessel::describeApplication();
  previousHandler = qInstallMessageHandler(&holdStartupMessage);
  QApplication app(argc, argv);
  releaseStartupMessages();
  tessel::LateSound<tessel::SoundPlayer> sound;  // the one audio device, opened below
  tessel::DesktopMailLink mail;
  tessel::frmTessel window(sound, mail);
  tessel::afterFirstPaint(window, [&sound] {
    sound.open();
    QApplication::setWindowIcon(
        tessel::artworkIcon(QString::fromUtf8(tessel::kIconPicture.data())));
    // Loading the recordings and the icon leaves freed heap behind; hand it back to the system
    // once the window is up instead of keeping it for the rest of the session.
    QTimer::singleShot(1000, [] { malloc_trim(0); });
  });
  window.show();
  return QApplication::exec();
}
