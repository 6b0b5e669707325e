#include "RunWatchdog.h"
#include "framework/Application.h"
#include "framework/Thread.h"
#include "framework/qt/QtFramework.h"

#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

// Under the Qt binding, Run is Qt's event loop: the calls handed to the GUI thread and Qt's own
// events both run in it, and Terminate ends it from anywhere.
TEST(QtRunTest, RunsQtsLoopUntilAskedToStopFromAnyWhere) {
    struct Case {
        const char* name;
        std::function<void()> stopFromWorker; // after a handed-over call has run
        bool byTimer;                         // stopped by a Qt timer on the GUI thread instead
    };
    const Case cases[] = {
        {"from a call handed to the GUI thread",
         [] { TThread::Synchronize([] { Application::Terminate(); }); }, false},
        {"from another thread", [] { Application::Terminate(); }, false},
        {"from a Qt timer", [] {}, true},
    };
    const QtFrameworkBinding binding;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bool ranOnGui = false;
        std::thread worker([&] {
            TThread::Synchronize([&] { ranOnGui = IsMainThread(); });
            c.stopFromWorker();
        });
        if (c.byTimer) {
            QTimer::singleShot(0, [] { Application::Terminate(); });
        }
        {
            const Watchdog watchdog;
            Application::Run(false);
            worker.join(); // the handed-over call may come after a timer's stop
            EXPECT_FALSE(watchdog.Fired()) << "Run did not end when asked";
        }
        EXPECT_TRUE(ranOnGui);
    }
}
