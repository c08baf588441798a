#pragma once

#include <chrono>

/// Waits for `duration` in a local event loop, so that the windows keep painting and taking
/// input and timers keep ticking meanwhile. Never sleeps the thread.
/// Returns false at once when the application has been told to quit: every local event loop
/// then returns immediately, and a caller that loops on the wait must stop.
bool WaitProcessingEvents(std::chrono::milliseconds duration);
