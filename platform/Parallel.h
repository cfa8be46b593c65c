#pragma once

#include <QThread>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace globalstab {

// Calls work(i) for every i below count, on as many threads as there are cores, the calling
// thread among them, and returns when every call has returned. Fewer than perThread items a
// thread are not worth starting one. work must not throw: it runs on threads that cannot
// pass an exception on.
template <typename Work> void forEachInParallel(size_t count, size_t perThread, const Work& work)
{
    std::atomic<size_t> next{0};
    const auto run = [&] {
        for (size_t i = next++; i < count; i = next++)
            work(i);
    };
    const size_t threads = std::min(size_t(std::max(1, QThread::idealThreadCount())),
                                    count / std::max<size_t>(perThread, 1));
    std::vector<std::thread> helpers;
    for (size_t i = 1; i < threads; ++i)
        helpers.emplace_back(run);
    run();
    for (std::thread& helper : helpers)
        helper.join();
}

} // namespace globalstab
