// Tessel's start-up, timed: the program's own start-up (window/startup.h) with time stamps at each
// step and a watch for the window's first frame (first_frame.h). tessel_startup runs it with
// --first-frame and compares it with tessel_bare_window.
#include <QWidget>
#include <cstring>
#include <string>

#include "first_frame.h"
#include "window/startup.h"

namespace {

class Stamps : public tessel::StartupWatch {
 public:
  explicit Stamps(bool firstFrameOnly) : probe_(firstFrameOnly) {}

  void reached(std::string_view step, QWidget* window) override {
    bench::stamp(std::string(step).c_str());
    // Installed last, so it sees the first paint first and stamps the frame before the work that
    // waits for it.
    if (step == "window") window->installEventFilter(&probe_);
  }

 private:
  bench::FirstFrame probe_;
};

}  // namespace

int main(int argc, char** argv) {
  bench::stamp("main");
  Stamps stamps(argc > 1 && std::strcmp(argv[1], "--first-frame") == 0);
  return tessel::runTessel(argc, argv, &stamps);
}
