// Work on a hostile file done apart: a library that reads out of bounds on a damaged file then
// costs a child process, never the window, its takes or the device threads.
#pragma once

#include <QByteArray>
#include <chrono>
#include <functional>
#include <optional>

namespace quillar::platform {

// Runs `work` in a child process made by fork() and returns the bytes it gave; nothing when the
// child did not end normally: killed by a signal (a crash, a sanitizer's report) or still
// running after `limit`, when it is killed. `work` runs on the child's only thread: it must not
// start threads nor wait for anything another thread of this process holds; plain file work and
// memory are safe. Any thread.
std::optional<QByteArray> RunInChildProcess(const std::function<QByteArray()>& work,
                                            std::chrono::milliseconds limit);

}  // namespace quillar::platform
