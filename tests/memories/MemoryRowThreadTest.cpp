#include "MemoryTableFixture.h"

#include <q4471/framework/Thread.h>
#include <q4471/framework/qt/QtFramework.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

using namespace q4471;

namespace {

using namespace std::chrono_literals;
using Values = std::vector<std::string>;

// A deadlock would otherwise hang the test until the runner's time-out.
class DeadlockWatchdog {
public:
    explicit DeadlockWatchdog(std::chrono::seconds limit)
        : thread_([this, limit] {
              std::unique_lock lock(mutex_);
              if (!stop_.wait_for(lock, limit, [this] { return stopped_; })) {
                  std::fprintf(stderr, "deadlock: the test did not finish in time\n");
                  std::abort();
              }
          }) {}
    ~DeadlockWatchdog() {
        {
            std::lock_guard lock(mutex_);
            stopped_ = true;
        }
        stop_.notify_all();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable stop_;
    bool stopped_ = false;
    std::thread thread_;
};

// The table on a GUI thread that runs Qt's event loop, as in the program. It also notes when a
// worker has handed a call to the GUI thread, so a test knows the worker now waits for it.
class MemoryRowThreadTest : public MemoryTableFixture {
protected:
    MemoryRowThreadTest() {
        SetWakeMainThread([this] {
            handedOver = true;
            QMetaObject::invokeMethod(
                qApp, [] { CheckSynchronize(); }, Qt::QueuedConnection);
        });
    }
    ~MemoryRowThreadTest() override {
        if (worker.joinable()) {
            // Serve the worker's calls until it has finished, so it never waits forever.
            EXPECT_TRUE(RunEventLoopUntilWorkerDone());
            worker.join();
        }
    }

    void StartWorker(std::function<void()> body) {
        worker = std::thread([this, body = std::move(body)] {
            body();
            workerDone = true;
        });
    }
    // Waits without serving the GUI thread's calls: the worker stays blocked in its hand-over.
    bool WaitForHandOver() {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!handedOver && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::yield();
        }
        return handedOver;
    }
    bool RunEventLoopUntilWorkerDone() {
        return QTest::qWaitFor([this] { return workerDone.load(); }, 10000);
    }

    const QtFrameworkBinding binding;
    std::atomic<bool> handedOver{false};
    std::atomic<bool> workerDone{false};
    std::thread worker;
    DeadlockWatchdog watchdog{30s};
};

TEST_F(MemoryRowThreadTest, AWorkersSettersAndGettersReachTheControlsOnTheGuiThread) {
    std::atomic<bool> changedOnGuiThread{true};
    QObject::connect(Row(10).LabelBox(), &QLineEdit::textChanged,
                     [&] { changedOnGuiThread = changedOnGuiThread && IsMainThread(); });
    Values readBack;
    StartWorker([&] {
        SetValues(10, {"CH 1", "146.520", "146.580", "CTCSS", "100.0"});
        readBack = ValuesOf(10);
    });
    ASSERT_TRUE(RunEventLoopUntilWorkerDone());
    const Values expected{"CH 1", "146.520", "146.580", "CTCSS", "100.0"};
    EXPECT_EQ(readBack, expected);
    EXPECT_EQ(ValuesOf(10), expected);
    EXPECT_EQ(Row(10).LabelBox()->text(), "CH 1");
    EXPECT_TRUE(changedOnGuiThread);
}

TEST_F(MemoryRowThreadTest, AWorkersCallWaitsWhileTheGuiThreadIsBusyAndCompletesAfterIt) {
    std::atomic<bool> doneWhileBusy{false};
    std::atomic<bool> handlerEnded{false};
    std::atomic<bool> handlerEndedFirst{false};
    QTimer::singleShot(0, [&] {
        StartWorker([&] {
            Row(44).SetCode("131.8");
            handlerEndedFirst = handlerEnded.load();
        });
        ASSERT_TRUE(WaitForHandOver());
        std::this_thread::sleep_for(300ms); // a long handler: the GUI thread does other work
        doneWhileBusy = workerDone.load();
        handlerEnded = true;
    });
    ASSERT_TRUE(RunEventLoopUntilWorkerDone());
    EXPECT_FALSE(doneWhileBusy);
    EXPECT_TRUE(handlerEndedFirst);
    EXPECT_EQ(Row(44).GetCode(), "131.8");
}

TEST_F(MemoryRowThreadTest, TheGuiThreadReadsARowWhoseWriterWaitsForTheGuiThread) {
    StartWorker([&] { Row(3).SetLabel("from the worker"); });
    ASSERT_TRUE(WaitForHandOver()); // the worker holds the row's lock for writing now
    EXPECT_EQ(Row(3).GetLabel(), "from the worker");
    ASSERT_TRUE(RunEventLoopUntilWorkerDone());
}

TEST_F(MemoryRowThreadTest, TheGuiThreadWritesARowWhoseReaderWaitsForTheGuiThread) {
    Row(4).SetMode("DCS");
    std::string seen;
    StartWorker([&] { seen = Row(4).GetMode(); });
    ASSERT_TRUE(WaitForHandOver()); // the worker holds the row's lock for reading now
    Row(4).SetMode("CTCSS");
    ASSERT_TRUE(RunEventLoopUntilWorkerDone());
    EXPECT_EQ(seen, "DCS");
    EXPECT_EQ(Row(4).GetMode(), "CTCSS");
}

TEST_F(MemoryRowThreadTest, SeveralWorkersOnTheSameRowsKeepEveryValueWhole) {
    constexpr int Workers = 3;
    constexpr int Rounds = 60;
    std::atomic<int> finished{0};
    std::atomic<int> torn{0};
    std::vector<std::thread> threads;
    for (int w = 0; w < Workers; ++w) {
        threads.emplace_back([&, w] {
            const std::string mine = "worker " + std::to_string(w) + std::string(200, 'x');
            for (int round = 0; round < Rounds; ++round) {
                const int number = 1 + round % 5;
                Row(number).SetLabel(mine);
                const std::string label = Row(number).GetLabel();
                if (label.size() != mine.size() || label.compare(0, 7, "worker ") != 0) {
                    ++torn;
                }
            }
            ++finished;
        });
    }
    const bool allDone = QTest::qWaitFor([&] { return finished == Workers; }, 20000);
    for (std::thread& thread : threads) {
        thread.join();
    }
    ASSERT_TRUE(allDone);
    EXPECT_EQ(torn, 0);
}

} // namespace
