// Hands an address to the desktop's own mail program. Whether that works is the desktop's
// business: the result is ignored, and with no handler nothing is shown.
#pragma once

#include <string>

namespace tessel {

class MailLink {
 public:
  virtual ~MailLink() = default;
  virtual void open(const std::string& url) = 0;
};

}  // namespace tessel
