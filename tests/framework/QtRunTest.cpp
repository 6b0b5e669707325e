#include "RunWatchdog.h"

#include <q4471/framework/Application.h>
#include <q4471/framework/Thread.h>
#include <q4471/framework/plain/PlainFramework.h>
#include <q4471/framework/qt/QtFramework.h>

#include <QTimer>
#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

using namespace q4471;

// Under the Qt binding, Run is Qt's event loop: the calls handed to the GUI thread and Qt's own
// events both run in it, and Terminate ends it from anywhere.
TEST(QtRunTest, RunsQtsLoopUntilAskedToStopFromAnyWhere) {
    struct Case {
        const char* name;
        std::function<void()> stopFromWorker; // after a handed-over call has run; or none
        bool byTimer;                         // stopped by a Qt timer on the GUI thread
    };
    // A request before Run comes second: a quit it left queued would end the next Run early.
    const Case cases[] = {
        {"from a call handed to the GUI thread",
         [] { TThread::Synchronize([] { Application::Terminate(); }); }, false},
        {"by a request before Run", nullptr, false},
        {"from another thread", [] { Application::Terminate(); }, false},
        {"from a Qt timer", nullptr, true},
    };
    const QtFrameworkBinding binding;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::atomic<bool> ranOnGui{false};
        std::atomic<bool> workerDone{false};
        std::thread worker([&] {
            TThread::Synchronize([&] { ranOnGui = IsMainThread(); });
            if (c.stopFromWorker) {
                c.stopFromWorker();
            }
            workerDone = true;
        });
        if (c.byTimer) {
            QTimer::singleShot(0, [] { Application::Terminate(); });
        } else if (!c.stopFromWorker) {
            Application::Terminate();
        }
        const Watchdog watchdog;
        Application::Run(false);
        EXPECT_FALSE(watchdog.Fired()) << "Run did not end when asked";
        if (c.stopFromWorker) {
            EXPECT_TRUE(ranOnGui) << "Run ended before it was asked";
        }
        // Otherwise the worker's call may come after the stop.
        EXPECT_TRUE(PlainFrameworkBinding::PumpUntil([&] { return workerDone.load(); }));
        worker.join();
        EXPECT_TRUE(ranOnGui);
    }
}
