#include "catalog/OrderedWork.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace tessarind {

int DefaultWorkerCount() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : static_cast<int>(cores);
}

void RunInOrder(int workers, const FileSource& source, const FileWork& work,
                const std::atomic<bool>* cancel) {
    const auto cancelled = [cancel] { return cancel && cancel->load(std::memory_order_relaxed); };
    if (workers <= 1) {
        source([&](const std::string& path) {
            if (cancelled()) return false;
            if (Delivery deliver = work(path, 0)) deliver();
            return !cancelled();
        });
        return;
    }

    // Files wait in `queue`; finished ones in `done` until every earlier one is delivered.
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::pair<size_t, std::string>> queue;
    std::map<size_t, Delivery> done;
    size_t found = 0, delivered = 0;
    bool sourceEnded = false;
    const size_t window = static_cast<size_t>(workers) * 16;

    std::vector<std::thread> threads;
    threads.reserve(static_cast<size_t>(workers));
    for (int w = 0; w < workers; ++w) {
        threads.emplace_back([&, w] {
            for (;;) {
                std::pair<size_t, std::string> item;
                {
                    std::unique_lock lock(mutex);
                    changed.wait(lock, [&] { return !queue.empty() || sourceEnded; });
                    if (queue.empty()) return;
                    item = std::move(queue.front());
                    queue.pop_front();
                }
                Delivery deliver = work(item.second, w);
                {
                    std::lock_guard lock(mutex);
                    done.emplace(item.first, std::move(deliver));
                }
                changed.notify_all();
            }
        });
    }

    // Delivers what is ready in order; with `all`, waits until everything found is delivered.
    const auto deliverReady = [&](std::unique_lock<std::mutex>& lock, bool all) {
        for (;;) {
            auto next = done.find(delivered);
            if (next == done.end()) {
                if (!all || delivered == found) return;
                changed.wait(lock);
                continue;
            }
            Delivery deliver = std::move(next->second);
            done.erase(next);
            lock.unlock();
            if (deliver) deliver();
            lock.lock();
            ++delivered;
        }
    };

    source([&](const std::string& path) {
        std::unique_lock lock(mutex);
        deliverReady(lock, false);
        // Wait for room: the oldest file in flight holds back everything after it.
        while (found - delivered >= window) {
            changed.wait(lock);
            deliverReady(lock, false);
        }
        if (cancelled()) return false;
        queue.emplace_back(found++, path);
        lock.unlock();
        changed.notify_all();
        return true;
    });
    {
        std::unique_lock lock(mutex);
        sourceEnded = true;
        changed.notify_all();
        deliverReady(lock, true);
    }
    changed.notify_all();
    for (std::thread& thread : threads)
        thread.join();
}

} // namespace tessarind
