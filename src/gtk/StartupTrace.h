#pragma once

#include <string_view>

namespace twdesktop {

// An opt-in hook for the start-up benchmark (bench/startup.py): with the environment variable
// TWDESKTOP_TRACE_FIRST_GRAPH set to a non-empty value, the program writes one line
//   twdesktop-trace first-graph <seconds>
// to stderr when the page has finished evaluating the first script that starts with
// "window.loadGraph(" (the first graph the user sees). <seconds> is CLOCK_MONOTONIC, the clock
// that Python's time.monotonic() reads. Unset, the hook does nothing.
namespace startup_trace {

// True when the hook is on and AScript is the first graph script: the caller then asks for the
// evaluation's completion and calls FirstGraphEvaluated from it.
bool WantsCompletion(std::string_view AScript);
void FirstGraphEvaluated();

}  // namespace startup_trace
}  // namespace twdesktop
