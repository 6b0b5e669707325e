#include <q4471/framework/Exception.h>
#include <q4471/framework/Thread.h>
#include <q4471/framework/plain/PlainFramework.h>

#include <atomic>
#include <gtest/gtest.h>

using namespace q4471;

namespace {

class LambdaThread : public TThread {
public:
    explicit LambdaThread(std::function<void(LambdaThread&)> body) : body_(std::move(body)) {}
    ~LambdaThread() override { WaitFor(); }
    using TThread::Synchronize;

protected:
    void Execute() override { body_(*this); }

private:
    std::function<void(LambdaThread&)> body_;
};

TEST(SynchronizeTest, RunsOnTheGuiThreadWhileTheCallerWaits) {
    std::atomic<bool> ranOnMain{false};
    std::atomic<bool> returned{false};
    LambdaThread worker([&](LambdaThread&) {
        TThread::Synchronize([&] { ranOnMain = IsMainThread(); });
        returned = true;
    });
    worker.Start();
    ASSERT_TRUE(PlainFrameworkBinding::PumpUntil([&] { return returned.load(); }));
    EXPECT_TRUE(ranOnMain);
}

TEST(SynchronizeTest, AnErrorRaisedOnTheGuiThreadIsRaisedAgainInTheCaller) {
    std::string caught;
    LambdaThread worker([&](LambdaThread&) {
        try {
            TThread::Synchronize([] { throw Exception("boom"); });
        } catch (const Exception& error) {
            caught = error.Message();
        }
    });
    worker.Start();
    ASSERT_TRUE(PlainFrameworkBinding::PumpUntil([&] { return worker.Finished(); }));
    EXPECT_EQ(caught, "boom");
}

TEST(SynchronizeTest, OnTheGuiThreadItRunsAtOnce) {
    bool ran = false;
    TThread::Synchronize([&] { ran = true; });
    EXPECT_TRUE(ran);
}

TEST(ThreadTest, WaitForOnTheGuiThreadServesAThreadThatWaitsForIt) {
    std::atomic<int> calls{0};
    LambdaThread worker([&](LambdaThread&) {
        for (int i = 0; i < 3; ++i) {
            TThread::Synchronize([&] { ++calls; });
        }
    });
    worker.Start();
    worker.WaitFor(); // would deadlock if it did not run the synchronised calls
    EXPECT_EQ(calls, 3);
}

TEST(ThreadTest, AnErrorEndsTheThreadAndIsKept) {
    LambdaThread worker([](LambdaThread&) { throw Exception("failed"); });
    worker.Start();
    worker.WaitFor();
    ASSERT_TRUE(worker.FatalException());
    EXPECT_THROW(std::rethrow_exception(worker.FatalException()), Exception);
}

TEST(ThreadTest, TerminateIsSeenByExecute) {
    std::atomic<bool> started{false};
    LambdaThread worker([&](LambdaThread& self) {
        started = true;
        while (!self.Terminated()) {
            std::this_thread::yield();
        }
    });
    worker.Start();
    ASSERT_TRUE(PlainFrameworkBinding::PumpUntil([&] { return started.load(); }));
    worker.Terminate();
    worker.WaitFor();
    EXPECT_TRUE(worker.Finished());
}

TEST(ThreadTest, AFreeOnTerminateThreadDeletesItself) {
    static std::atomic<int> destroyed{0};
    class SelfFreeing : public TThread {
    public:
        SelfFreeing() { SetFreeOnTerminate(true); }
        ~SelfFreeing() override { ++destroyed; }

    protected:
        void Execute() override {}
    };
    (new SelfFreeing)->Start();
    EXPECT_TRUE(PlainFrameworkBinding::PumpUntil([] { return destroyed.load() == 1; }));
}

} // namespace
