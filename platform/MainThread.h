#pragma once

#include <functional>

// The one way to the main thread. Runs the task there, from its event loop, after
// what is already queued there. From any thread. Tasks posted when there is no
// application object (or after it is gone) are dropped.
void postToMainThread(std::function<void()> task);
