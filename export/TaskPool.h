#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// A few worker threads that run tasks in the order given. Ours rather than
// QThreadPool so that every hand-over of work between threads goes through a
// standard mutex, which the thread sanitizer can see.
class TaskPool final {
public:
    explicit TaskPool(int threads);
    // Runs what is queued, then stops the threads.
    ~TaskPool();
    TaskPool(const TaskPool&) = delete;
    TaskPool& operator=(const TaskPool&) = delete;

    void run(std::function<void()> task);
    // Blocks until every task given so far has run.
    void waitForDone();
    // The same, for at most the time given; whether they all ran.
    bool waitForDone(std::chrono::milliseconds limit);

private:
    void work();

    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable idle;
    std::deque<std::function<void()>> tasks;
    int busy = 0;
    bool stopping = false;
    std::vector<std::thread> threads;
};
