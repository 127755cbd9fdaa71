// Stand-ins for the sound output and the desktop's mail handler that only remember what they
// were asked to do.
#pragma once

#include <string>
#include <vector>

#include "chart/sound_port.h"
#include "credits/mail_link.h"

namespace tessel::testing {

class KeyRecorder : public SoundPort {
 public:
  void PlayWave(const std::string& Name) override { keys.push_back(Name); }
  void warm() override { ++warms; }
  std::vector<std::string> keys;
  int warms = 0;
};

class UrlRecorder : public MailLink {
 public:
  void open(const std::string& url) override { urls.push_back(url); }
  std::vector<std::string> urls;
};

}  // namespace tessel::testing
