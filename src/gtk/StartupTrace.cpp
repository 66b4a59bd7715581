#include "gtk/StartupTrace.h"

#include <glib.h>

#include <cstdio>
#include <ctime>

namespace twdesktop::startup_trace {

namespace {

bool Enabled() {
  static const bool enabled = [] {
    const char* value = g_getenv("TWDESKTOP_TRACE_FIRST_GRAPH");
    return value != nullptr && *value != '\0';
  }();
  return enabled;
}

// Main thread only, like every surface call.
bool gRequested = false;

}  // namespace

bool WantsCompletion(std::string_view AScript) {
  if (gRequested || !Enabled() || !AScript.starts_with("window.loadGraph(")) return false;
  gRequested = true;
  return true;
}

void FirstGraphEvaluated() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  (void)std::fprintf(stderr, "twdesktop-trace first-graph %lld.%06ld\n",
                     static_cast<long long>(now.tv_sec), now.tv_nsec / 1000);
  (void)std::fflush(stderr);
}

}  // namespace twdesktop::startup_trace
