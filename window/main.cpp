// Tessel: a kana chart that speaks. One window; every kana on it is a click target.
#include <QApplication>
#include <QIcon>

#include "sound/sound_player.h"
#include "window/desktop_mail_link.h"
#include "window/frm_tessel.h"
#include "window/layout.h"

int main(int argc, char** argv) {
  QApplication::setApplicationName(QStringLiteral("prjTessel"));
  QApplication::setApplicationVersion(QStringLiteral("1.00"));
  QApplication::setDesktopFileName(QStringLiteral("org.tessel.Tessel"));
  QApplication app(argc, argv);
  QApplication::setWindowIcon(QIcon(QString::fromUtf8(tessel::kIconPicture.data())));

  tessel::SoundPlayer sound;  // the one audio device, opened before the window shows
  tessel::DesktopMailLink mail;
  tessel::frmTessel window(sound, mail);
  window.show();
  return QApplication::exec();
}
