#pragma once

// A layer's boundary for exceptions. Inside a layer nothing but an allocation can throw (a path,
// a file's content or a list that cannot be held: std::bad_alloc); the layer's callers take its
// outcome and never an exception. Each layer turns that case into its own failure once, where
// its public operations begin, with Guarded.

namespace kalvane {

// `step()`, or `on_exception` (converted to the step's outcome type) when the step throws.
template <typename Step, typename Fallback>
auto Guarded(const Step& step, const Fallback& on_exception) noexcept -> decltype(step()) {
  try {
    return step();
  } catch (...) {
    return on_exception;
  }
}

}  // namespace kalvane
