#include "window/application.h"

#include <QApplication>

namespace tessel {

void describeApplication() {
  QApplication::setApplicationName(QStringLiteral("prjTessel"));  // StartupWMClass in the file
  QApplication::setApplicationVersion(QString::fromLatin1(TESSEL_VERSION));
  QApplication::setDesktopFileName(QStringLiteral(TESSEL_APP_ID));
}

}  // namespace tessel
