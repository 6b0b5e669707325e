// The port list's cost with 2 and with 64 ports present on a fake system tree, beside the floor
// of reading the same folders' names; and the port watcher's wake-ups and CPU while nothing
// changes, which must be zero.
#include "BenchSupport.h"
#include "FakePortTree.h"
#include "ProcessCpu.h"

#include <q4471/serial/SerialPortWatcher.h>

#include <dirent.h>
#include <thread>

namespace {

constexpr int Rounds = 9;
constexpr int CallsPerRound = 50;

// The least any listing must do: read the names of sysfs's tty class and of /dev.
void ReadFolderNames(const TSerialSystemFolders& folders) {
    for (const std::string& folder : {folders.sys + "/class/tty", folders.dev}) {
        if (DIR* entries = opendir(folder.c_str())) {
            while (readdir(entries) != nullptr) {
            }
            closedir(entries);
        }
    }
}

// Microseconds per call of `call`, one figure per round.
template <typename Call> double MicrosPerCall(Call call) {
    const auto start = Clock::now();
    for (int i = 0; i < CallsPerRound; ++i) {
        call();
    }
    return Micros(Clock::now() - start) / CallsPerRound;
}

void BenchListing(int count) {
    FakePortTree tree;
    for (int i = 0; i < count; ++i) {
        const std::string serial = std::to_string(1000 + i);
        std::string name = i % 2 == 0 ? "ttyUSB" : "ttyACM";
        name += std::to_string(i);
        tree.AddUsbPort(name, i % 2 == 0 ? "ftdi_sio" : "cdc_acm",
                        {"0403", "6001", "FTDI", "FT232R USB UART", serial}, i + 1,
                        "usb-FTDI_FT232R_USB_UART_" + serial + "-if00-port0");
    }
    const TSerialSystemFolders folders = tree.Folders();
    std::vector<double> listing;
    std::vector<double> floor;
    for (int round = 0; round < Rounds; ++round) { // A B A B
        listing.push_back(MicrosPerCall([&] {
            if (ListSerialPorts(folders).size() != static_cast<std::size_t>(count)) {
                std::abort();
            }
        }));
        floor.push_back(MicrosPerCall([&] { ReadFolderNames(folders); }));
    }
    const std::string what = "ListSerialPorts, " + std::to_string(count) + " ports";
    PrintSummary(what.c_str(), "us", Summarise(listing));
    const std::string floorWhat = "  floor: the folders' names, " + std::to_string(count);
    PrintSummary(floorWhat.c_str(), "us", Summarise(floor));
}

void BenchIdleWatcher() {
    FakePortTree tree;
    tree.AddNode("ttyUSB0");
    TSerialPortWatcher watcher;
    watcher.SetFolders(tree.Folders());
    watcher.SetHandlerThread(htPortThreads);
    watcher.Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(200)); // its start-up is not idling
    // Every thread but the main one is the watcher's.
    const WorkerActivity before = ReadWorkerActivity();
    const auto cpuBefore = ProcessCpuTime();
    std::this_thread::sleep_for(std::chrono::seconds(5)); // idle is what is measured
    const auto cpu = ProcessCpuTime() - cpuBefore;
    const WorkerActivity after = ReadWorkerActivity();
    std::printf("watcher idle 5 s: its thread woke %ld times, used %ld CPU ticks; whole process "
                "%lld us CPU\n",
                (after.wakeups + after.preemptions) - (before.wakeups + before.preemptions),
                after.ticks - before.ticks, static_cast<long long>(cpu.count()));
}

} // namespace

int main() {
    BenchListing(2);
    BenchListing(64);
    BenchIdleWatcher();
}
