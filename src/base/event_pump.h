#pragma once

#include <chrono>

namespace kalvane {

using MonotonicClock = std::chrono::steady_clock;

// How a waiting transaction lets the rest of the program run: the window's event pump in the
// product, a scripted sequence of events in tests. Time is monotonic, so a change of the calendar
// clock neither stretches nor cuts a wait.
class EventPump {
 public:
  enum class Outcome { kContinue, kQuit };

  virtual ~EventPump() = default;
  virtual MonotonicClock::time_point Now() const = 0;
  // Sleeps until an event is pending or `deadline` passes, then delivers every pending event.
  // Quit means the program is asked to end (the request is kept for the main loop).
  virtual Outcome PumpUntil(MonotonicClock::time_point deadline) = 0;
};

}  // namespace kalvane
