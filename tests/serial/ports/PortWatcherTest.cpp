// The port watcher's news from a fake system tree: arrivals, departures, a burst of both and a
// removed watch folder, on the GUI thread or its own; stopping and destroying it from its own
// handlers.
#include "FakePortTree.h"

#include <q4471/framework/Thread.h>
#include <q4471/serial/SerialPortWatcher.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>

using namespace q4471;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const FakeUsb Ftdi{"0403", "6001", "FTDI", "FT232R USB UART", "A10K3ZQ4"};

// What the handlers heard, as "+ttyUSB0", "-ttyUSB0", "~ttyUSB0", from whichever thread.
class Heard {
public:
    void Watch(TSerialPortWatcher& watcher) {
        watcher.OnArrived = [this](TObject*, const TSerialPortInfo& port) { Add('+', port); };
        watcher.OnLeft = [this](TObject*, const TSerialPortInfo& port) { Add('-', port); };
        watcher.OnChanged = [this](TObject*, const TSerialPortInfo& port) { Add('~', port); };
    }
    std::vector<std::string> News() const {
        const std::lock_guard lock(mutex_);
        return news_;
    }
    // Serves the GUI thread's calls until `count` pieces of news have come (generous deadline).
    bool WaitFor(std::size_t count) const {
        const auto end = std::chrono::steady_clock::now() + 20s;
        while (News().size() < count && std::chrono::steady_clock::now() < end) {
            CheckSynchronize(10);
        }
        return News().size() >= count;
    }
    std::atomic<bool> offGuiThread{false};

private:
    void Add(char what, const TSerialPortInfo& port) {
        offGuiThread = offGuiThread || !IsMainThread();
        const std::lock_guard lock(mutex_);
        news_.push_back(what + fs::path(port.Device).filename().string());
    }
    mutable std::mutex mutex_;
    std::vector<std::string> news_;
};

struct WatchCase {
    const char* change;
    std::function<void(FakePortTree&)> before;
    std::function<void(FakePortTree&)> act;
    std::vector<std::string> news;
};

TEST(PortWatcherTest, ArrivalsDeparturesBurstsAndRemovedFoldersAreNewsOnTheChosenThread) {
    const WatchCase cases[] = {
        {"arrival",
         [](FakePortTree&) {},
         [](FakePortTree& tree) { tree.AddUsbPort("ttyUSB0", "ftdi_sio", Ftdi, 1, "usb-FTDI-0"); },
         {"+ttyUSB0"}},
        {"departure",
         [](FakePortTree& tree) { tree.AddUsbPort("ttyACM0", "cdc_acm", Ftdi, 1, "usb-Pico"); },
         [](FakePortTree& tree) { tree.RemoveNode("ttyACM0"); },
         {"-ttyACM0"}},
        {"pulled and plugged in again at once",
         [](FakePortTree& tree) { tree.AddNode("ttyUSB0"); },
         [](FakePortTree& tree) {
             tree.RemoveNode("ttyUSB0");
             tree.AddNode("ttyUSB0");
         },
         {"-ttyUSB0", "+ttyUSB0"}},
        {"burst of both",
         [](FakePortTree& tree) {
             tree.AddNode("ttyUSB0");
             tree.AddNode("ttyUSB1");
         },
         [](FakePortTree& tree) {
             tree.RemoveNode("ttyUSB0");
             tree.AddNode("ttyACM0");
             tree.RemoveNode("ttyUSB1");
             tree.AddNode("ttyACM1");
         },
         {"-ttyUSB0", "-ttyUSB1", "+ttyACM0", "+ttyACM1"}},
        {"removed link folder, then back",
         [](FakePortTree& tree) { tree.AddUsbPort("ttyUSB0", "ftdi_sio", Ftdi, 1, "usb-FTDI-0"); },
         [](FakePortTree& tree) {
             fs::remove_all(tree.Dev("serial"));
             // Only a watch made again on the new folder sees this link.
             fs::create_directories(tree.Dev("serial/by-id"));
             fs::create_symlink("../../ttyUSB0", tree.Dev("serial/by-id/usb-FTDI-0"));
         },
         {"~ttyUSB0"}},
        {"removed device folder",
         [](FakePortTree& tree) {
             tree.AddNode("ttyUSB0");
             tree.AddNode("rfcomm0");
         },
         [](FakePortTree& tree) { fs::remove_all(tree.Dev("")); },
         {"-rfcomm0", "-ttyUSB0"}},
    };
    for (const TVaHandlerThread thread : {htGuiThread, htPortThreads}) {
        for (const WatchCase& test : cases) {
            SCOPED_TRACE(std::string(test.change) + (thread == htGuiThread ? " (GUI)" : " (own)"));
            FakePortTree tree;
            test.before(tree);
            Heard heard;
            TSerialPortWatcher watcher;
            watcher.SetFolders(tree.Folders());
            watcher.SetHandlerThread(thread);
            heard.Watch(watcher);
            watcher.Start();
            test.act(tree);
            // A burst may come as one change or several: the news must end as expected.
            ASSERT_TRUE(heard.WaitFor(test.news.size()));
            if (test.news.size() == 4) {
                std::vector<std::string> news = heard.News();
                std::sort(news.begin(), news.end());
                EXPECT_EQ(news, (std::vector<std::string>{"+ttyACM0", "+ttyACM1", "-ttyUSB0",
                                                          "-ttyUSB1"}));
            } else if (test.news[0][0] == '~') {
                // The folder's removal and its return may be one change or two.
                EXPECT_EQ(heard.News().back(), test.news[0]);
                EXPECT_EQ(watcher.Ports()[0].StableNames.size(), 1u);
            } else {
                EXPECT_EQ(heard.News(), test.news);
            }
            EXPECT_EQ(heard.offGuiThread, thread == htPortThreads);
            watcher.Stop();
            EXPECT_FALSE(watcher.Active());
        }
    }
}

// Each would hang without its mend: a stop that waits for the very call it is made from.
TEST(PortWatcherTest, AHandlerMayStopOrDestroyItsWatcherOnEitherThread) {
    for (const TVaHandlerThread thread : {htGuiThread, htPortThreads}) {
        for (const bool destroy : {false, true}) {
            SCOPED_TRACE(std::string(destroy ? "destroy" : "stop") +
                         (thread == htGuiThread ? " on the GUI thread" : " on its own thread"));
            FakePortTree tree;
            auto* watcher = new TSerialPortWatcher;
            watcher->SetFolders(tree.Folders());
            watcher->SetHandlerThread(thread);
            std::atomic<int> calls{0};
            watcher->OnArrived = [&, watcher](TObject*, const TSerialPortInfo&) {
                ++calls;
                if (destroy) {
                    delete watcher;
                } else {
                    watcher->Stop();
                }
            };
            watcher->Start();
            tree.AddNode("ttyUSB0");
            tree.AddNode("ttyUSB1"); // its news must not come: the first handler stopped it
            const auto end = std::chrono::steady_clock::now() + 20s;
            while (calls == 0 && std::chrono::steady_clock::now() < end) {
                CheckSynchronize(10);
            }
            ASSERT_EQ(calls, 1);
            if (!destroy) {
                EXPECT_FALSE(watcher->Active());
                delete watcher;
            }
            CheckSynchronize(50);
            EXPECT_EQ(calls, 1);
        }
    }
}

TEST(PortWatcherTest, ItsSettingsAreRefusedWhileItWatches) {
    FakePortTree tree;
    TSerialPortWatcher watcher;
    watcher.SetFolders(tree.Folders());
    tree.AddNode("ttyACM0");
    watcher.Start();
    ASSERT_EQ(watcher.Ports().size(), 1u);
    EXPECT_THROW(watcher.SetHandlerThread(htPortThreads), EVaCommError);
    EXPECT_THROW(watcher.SetFolders({}), EVaCommError);
    watcher.Stop();
    TSerialPortWatcher missing;
    missing.SetFolders({tree.Dev("none"), tree.Dev("none"), tree.Dev("none")});
    EXPECT_THROW(missing.Start(), EVaCommError);
}

} // namespace
