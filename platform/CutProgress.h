#pragma once

#include <algorithm>
#include <atomic>
#include <memory>

// How far one piece of background work has come, from 0 (not begun) to 1 (over,
// whatever its outcome): a cut moves it on as it reads the clip's range, the reading of
// a video's sound as it reads the file, and whoever shows progress reads it, from any
// thread. Copies share one value. Cheap to copy.
class CutProgress final {
public:
    CutProgress()
        : state(std::make_shared<std::atomic<double>>(0.0))
    {
    }

    void set(double fraction) const { state->store(std::clamp(fraction, 0.0, 1.0), std::memory_order_relaxed); }
    double fraction() const { return state->load(std::memory_order_relaxed); }

private:
    std::shared_ptr<std::atomic<double>> state;
};
