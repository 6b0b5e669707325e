#pragma once

// What the process holds, counted from /proc: to show that a failed open leaves no descriptor
// behind, and that a closed port leaves no thread.
//
// Threads are told apart by id, not counted: a joined thread's entry may stay listed a moment
// after the join has returned, and a count taken then is one too high. A test takes the ids
// before, and waits until every thread started since has gone.

#include <set>

using ThreadIdSet = std::set<unsigned long>;

#ifdef _WIN32
// Windows has no /proc (under Wine it would show the Linux process, whose descriptors Wine opens
// and caches on its own): the system's counts of handles and threads, kept away from
// <windows.h>, whose macros clash with the component's names.
int OpenDescriptors();
int RunningThreads();
ThreadIdSet ThreadIds();
#else
#include <filesystem>
#include <string>
#include <thread>

inline int ProcessEntries(const char* folder) {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) {
        ++count;
    }
    return count;
}

inline int OpenDescriptors() {
    return ProcessEntries("/proc/self/fd");
}

inline int RunningThreads() {
    return ProcessEntries("/proc/self/task");
}

// ThreadSanitizer starts a thread of its own when the process makes its first thread; one made
// and joined first keeps that thread out of every set a test compares.
inline ThreadIdSet ThreadIds() {
    static const bool warmedUp = [] {
        std::thread([] {}).join();
        return true;
    }();
    (void)warmedUp;
    ThreadIdSet ids;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        ids.insert(std::stoul(entry.path().filename().string()));
    }
    return ids;
}
#endif

// The threads running now that were not among `before`.
inline ThreadIdSet ThreadsStartedSince(const ThreadIdSet& before) {
    ThreadIdSet started;
    for (const unsigned long id : ThreadIds()) {
        if (before.count(id) == 0) {
            started.insert(id);
        }
    }
    return started;
}

// Whether every thread started since `before` has ended.
inline bool NoThreadStartedSince(const ThreadIdSet& before) {
    return ThreadsStartedSince(before).empty();
}
