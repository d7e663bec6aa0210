#pragma once

#include <atomic>
#include <memory>

// Asks work under way to end early. Copies share one state: the export that owns a
// token hands copies to each of its cuts, and cancelling any copy cancels them all.
// A new token is never cancelled, whatever became of others. Cheap to copy, and may
// be used from any thread.
class CancelToken final {
public:
    CancelToken()
        : state(std::make_shared<std::atomic<bool>>(false))
    {
    }

    void cancel() const { state->store(true, std::memory_order_relaxed); }
    bool isCancelled() const { return state->load(std::memory_order_relaxed); }

    // Whether both are copies of the same token.
    bool operator==(const CancelToken& other) const { return state == other.state; }

private:
    std::shared_ptr<std::atomic<bool>> state;
};
