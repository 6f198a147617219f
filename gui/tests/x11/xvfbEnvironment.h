// Starts a private Xvfb for the X11 tests (on a free display number) and helpers to drive it.
#pragma once

#include <X11/Xlib.h>

#include <functional>
#include <string>
#include <vector>

namespace qgui::test {

// The display started for this test process (":N").
const std::string& xvfbDisplay();
// Runs a program (argument vector, no shell) and waits for it; its exit status.
int runProgram(const std::vector<std::string>& argv);
// Starts a program without waiting; its process id.
int startProgram(const std::vector<std::string>& argv);
int waitProgram(int pid);
// Calls `step` until `done` answers true or `seconds` pass; true when done.
bool pumpUntil(const std::function<void()>& step, const std::function<bool()>& done, double seconds = 5);

}  // namespace qgui::test
