// Who the program says it is to the desktop. X11 docks match a window to its launcher by the
// class half of WM_CLASS, which Qt takes from the application name, against the desktop file's
// StartupWMClass; Wayland compositors match the app id, which Qt takes from the desktop file
// name. Call before the QApplication is made.
#pragma once

namespace tessel {

void describeApplication();

}  // namespace tessel
