// What the chart asks of the sound side: play the recording with this key, now.
#pragma once

#include <string>

namespace tessel {

class SoundPort {
 public:
  virtual ~SoundPort() = default;
  // Starts the recording named `Name` ("101".."148") and returns at once. A new request cuts off
  // whatever is still playing; a name with no recording plays nothing and reports nothing.
  virtual void PlayWave(const std::string& Name) = 0;
};

}  // namespace tessel
