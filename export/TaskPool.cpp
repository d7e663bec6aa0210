#include "TaskPool.h"

#include <algorithm>

TaskPool::TaskPool(int count)
{
    for (int i = 0; i < std::max(1, count); ++i)
        threads.emplace_back([this] { work(); });
}

TaskPool::~TaskPool()
{
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    for (std::thread& thread : threads)
        thread.join();
}

void TaskPool::run(std::function<void()> task)
{
    {
        std::lock_guard lock(mutex);
        tasks.push_back(std::move(task));
    }
    wake.notify_one();
}

void TaskPool::waitForDone()
{
    std::unique_lock lock(mutex);
    idle.wait(lock, [this] { return tasks.empty() && busy == 0; });
}

bool TaskPool::waitForDone(std::chrono::milliseconds limit)
{
    std::unique_lock lock(mutex);
    return idle.wait_for(lock, limit, [this] { return tasks.empty() && busy == 0; });
}

void TaskPool::work()
{
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(mutex);
            wake.wait(lock, [this] { return stopping || !tasks.empty(); });
            if (tasks.empty())
                return; // stopping, and nothing left to do
            task = std::move(tasks.front());
            tasks.pop_front();
            ++busy;
        }
        task();
        task = nullptr;
        {
            std::lock_guard lock(mutex);
            --busy;
        }
        idle.notify_all();
    }
}
