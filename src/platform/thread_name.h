// Names a thread of ours, so that top, perf and a debugger show what it is. Best effort; any
// thread.
#pragma once

#include <thread>

namespace quillar::platform {

// `name` at most 15 characters, as Linux keeps them.
void nameThread(std::thread& thread, const char* name);

}  // namespace quillar::platform
