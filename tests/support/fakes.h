// Test doubles shared by the unit tests.
#pragma once

#include <string>
#include <vector>

#include "chart/auto_read.h"
#include "chart/cell_activation.h"
#include "chart/sound_port.h"
#include "credits/credits.h"
#include "support/control_model.h"
#include "support/recorders.h"

namespace tessel::testing {

// Remembers every key asked for, and where the markers stood at that moment, so a test can tell
// whether the sound was requested before or after the markers moved.
class RecordingSound : public KeyRecorder {
 public:
  explicit RecordingSound(ControlModel& model) : model_(model) {}
  void PlayWave(const std::string& Name) override {
    KeyRecorder::PlayWave(Name);
    markersAtRequest.emplace_back(model_.imgRight().top(), model_.imgTop().left());
  }
  void warm() override { ++warms; }
  int warms = 0;
  std::vector<std::pair<float, float>> markersAtRequest;  // the row marker's top, column's left

 private:
  ControlModel& model_;
};

// A loaded window with no display: the model, recorders for sound and mail, and every handler.
struct LoadedChart {
  ControlModel model;
  RecordingSound sound{model};
  UrlRecorder mail;
  CellActivation chart{model, sound};
  AutoRead autoRead{model, chart};
  Credits credits{model, mail};
  LoadedChart() { chart.Form_Load(); }

  // What the window's timer does once an interval has passed: tick only while enabled.
  void intervalPasses() {
    if (model.timer1().enabled) autoRead.Timer1_Timer();
  }
};

}  // namespace tessel::testing
