// Tessel: a kana chart that speaks. One window; every kana on it is a click target.
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string_view>

#include "credits/credits.h"
#include "window/startup.h"

namespace {

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
  return tessel::runTessel(argc, argv);
}
