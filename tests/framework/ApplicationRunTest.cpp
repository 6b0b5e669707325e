#include "RunWatchdog.h"

#include <q4471/framework/Application.h>
#include <q4471/framework/Thread.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

#ifndef _WIN32
#include <unistd.h>
#endif

using namespace q4471;

TEST(ApplicationRunTest, RunsHandedOverCallsUntilAskedToStopFromAnyWhere) {
    struct Case {
        const char* name;
        // Called on a worker once a call handed to the GUI thread has run inside Run.
        std::function<void()> stop;
        bool inHandOver; // the stop request is itself a call handed to the GUI thread
    };
    const Case cases[] = {
        {"from a call on the GUI thread", [] { Application::Terminate(); }, true},
        {"from another thread", [] { Application::Terminate(); }, false},
#ifndef _WIN32
        {"by SIGINT", [] { kill(getpid(), SIGINT); }, false},
        {"by SIGTERM", [] { kill(getpid(), SIGTERM); }, false},
        {"by SIGHUP", [] { kill(getpid(), SIGHUP); }, false},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::atomic<int> callsRun{0};
        std::thread worker([&] {
            TThread::Synchronize([&] { ++callsRun; });
            if (c.inHandOver) {
                TThread::Synchronize(c.stop);
            } else {
                c.stop();
            }
        });
        {
            const Watchdog watchdog;
            Application::Run();
            EXPECT_FALSE(watchdog.Fired()) << "Run did not end when asked";
        }
        worker.join();
        EXPECT_EQ(callsRun, 1);
        EXPECT_FALSE(Application::Terminated()) << "the request outlives the Run it ended";
#ifndef _WIN32
        struct sigaction after {};
        sigaction(SIGINT, nullptr, &after);
        EXPECT_EQ(after.sa_handler, SIG_DFL) << "the signal's handling is not given back";
#endif
    }
}

TEST(ApplicationRunTest, ARequestBeforeRunEndsItAtOnceAndOnlyOnce) {
    Application::Terminate();
    const Watchdog watchdog;
    Application::Run(false);
    EXPECT_FALSE(watchdog.Fired());
    // The next Run waits for a request of its own.
    std::atomic<bool> ran{false};
    std::thread worker([&] {
        TThread::Synchronize([&] { ran = true; });
        Application::Terminate();
    });
    Application::Run(false);
    worker.join();
    EXPECT_TRUE(ran);
    EXPECT_FALSE(watchdog.Fired());
}
