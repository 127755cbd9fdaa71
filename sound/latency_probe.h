// Instrumentation for the click-to-sound benchmark: how long from a pointer event reaching a
// control to the first samples of the new recording being handed to the audio device. Compiled in
// only when TESSEL_LATENCY_PROBE is defined (bench/ builds its own copy of the core that way);
// otherwise every call is an empty inline function.
#pragma once

#include <vector>

namespace tessel::probe {

#ifdef TESSEL_LATENCY_PROBE
void pointerEventArrived();    // UI thread
void firstSampleHandedOver();  // audio thread
// Milliseconds from each pointer event to the next first-sample hand-over, oldest first.
std::vector<double> takeLatencies();
#else
inline void pointerEventArrived() {}
inline void firstSampleHandedOver() {}
#endif

}  // namespace tessel::probe
