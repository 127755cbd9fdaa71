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
  // A click may follow (the button went down on a kana): get the output running now, so the
  // recording the click asks for goes out without waiting for it to start. Plays nothing; an
  // output with nothing to start ignores it.
  virtual void warm() {}
};

}  // namespace tessel
