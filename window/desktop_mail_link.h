// The mail link through the desktop's own handler (xdg-open on Linux).
#pragma once

#include <QDesktopServices>
#include <QUrl>

#include "credits/mail_link.h"

namespace tessel {

class DesktopMailLink : public MailLink {
 public:
  void open(const std::string& url) override {
    QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));  // outcome deliberately ignored
  }
};

}  // namespace tessel
