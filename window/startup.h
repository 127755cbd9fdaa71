// The program's start-up once the command line has been answered: the application, the window,
// and, after its first frame, the sound output and the icon. main() runs it as it is; the start-up
// benchmark runs the same steps and is told when each is reached.
#pragma once

#include <string_view>

class QWidget;

namespace tessel {

// Told of each step as it is reached, in this order: "app" (the application object exists; no
// window yet, so `window` is null), "window" (the window is built, not yet shown), "shown" (show()
// has returned).
class StartupWatch {
 public:
  virtual ~StartupWatch() = default;
  virtual void reached(std::string_view step, QWidget* window) = 0;
};

// Runs the window until it is closed and returns the exit status. Without a usable display it says
// so in one line and exits with a failure status.
int runTessel(int& argc, char** argv, StartupWatch* watch = nullptr);

}  // namespace tessel
