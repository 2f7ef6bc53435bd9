#pragma once
// Runs one operation on a worker thread while the calling (window) thread
// goes on handling its events in a local event loop, and returns once the
// operation has finished. Exchanges with the analyser run this way, so a
// silent or slow analyser never freezes the window.
#include <functional>

namespace tolvane {

// `cancel` is called (on the calling thread) when the local loop is made to
// end early, for instance by the application quitting; it must make the
// operation finish soon. Returns after the worker has been joined.
void runOffThread(const std::function<void()>& operation, const std::function<void()>& cancel);

}  // namespace tolvane
