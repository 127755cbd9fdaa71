// The right-hand panel's credit line and buttons: About shows and hides the credit line, the line
// behaves like a link (blue with the hand cursor under the pointer, dark red again once the pointer
// is over the bare window, a click opens the maker's address in the mail program), and the close
// button ends the program.
#pragma once

#include <string_view>

#include "credits/mail_link.h"
#include "form/controls.h"

namespace tessel {

// The maker's contact address, fixed when the program is built (CMakeLists.txt, where the package
// and the manual page take it from too).
inline constexpr std::string_view kContactAddress = TESSEL_CONTACT;

// The address as the mail program receives it.
std::string contactUrl();

class Credits {
 public:
  Credits(Controls& controls, MailLink& mail) : controls_(controls), mail_(mail) {}

  void Command2_Click();
  void Label1_MouseMove();
  void Form_MouseMove();
  void Label1_Click();
  void Command1_Click();

 private:
  Controls& controls_;
  MailLink& mail_;
};

}  // namespace tessel
