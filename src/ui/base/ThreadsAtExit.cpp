#include "base/ThreadsAtExit.h"

#include <QThread>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

namespace kestrivel {

namespace {

std::vector<std::unique_ptr<QThread>>& keptThreads() {
    static std::vector<std::unique_ptr<QThread>> threads;
    return threads;
}

} // namespace

void KeepUntilExit(QThread* thread) {
    std::vector<std::unique_ptr<QThread>>& threads = keptThreads();
    std::erase_if(threads, [](const std::unique_ptr<QThread>& kept) { return kept->isFinished(); });
    threads.emplace_back(thread);
}

void JoinThreadsAtExit() {
    for (const std::unique_ptr<QThread>& thread : std::exchange(keptThreads(), {})) {
        thread->wait();
    }
}

} // namespace kestrivel
