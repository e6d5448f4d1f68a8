// The archive-tool wrapper: finds the plugin and the tool, runs the tool.
#pragma once

// What one build of the wrapper stands in front of.
struct WrapperPersonality {
  const char* name;  // "yew-ar"
  const char* tool;  // "ar"
  bool dash_rule;    // a first argument without "-" gets one (ar only)
};

// Runs the tool; returns the wrapper's exit status (the tool's, or 1 after
// a message). Only running out of memory ends the process inside.
int run_wrapper(const WrapperPersonality& personality, int argc, char** argv);
