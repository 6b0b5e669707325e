// A full load, a full send and a full verify of 100 memories through the editor's window,
// offscreen, against the simulated radio running as a program of its own, so that the CPU time
// measured here is the editor's alone. Figures: wall time as a ratio to the floor of 100 pauses of
// 350 ms, and the process's CPU time (user + system) as a share of the wall time. Then how long
// Stop takes to end a running load and a running send, pressed at moments spread over a memory's
// 350 ms.
//
//   bench/radio/radio_link_bench            (all of it)
//   bench/radio/radio_link_bench stop       (the Stop timings only)
//   bench/radio/radio_link_bench verify N   (a send, then N verifies: each, and min/median/max)

#include "Figures.h"
#include "app/TForm1.h"

#include <q4471/framework/qt/QtFramework.h>

#include <QAction>
#include <QApplication>
#include <QProcess>
#include <QProgressBar>
#include <QToolButton>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <sys/resource.h>

using namespace q4471;

namespace {

using Clock = std::chrono::steady_clock;
constexpr double FloorSeconds = 100 * 0.350;

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& time) { return time.tv_sec + time.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void WriteMemories(const std::string& path) {
    std::ofstream file(path, std::ios::binary);
    for (int n = 1; n <= 100; ++n) {
        file << n << ",Repeater " << n << ",146." << 100 + n << ",147." << 300 + n << "," << n % 3
             << "," << 60 + n << ".5\r\n";
    }
}

struct TransferFigures {
    bool ended; // with the expected text
    double ratio;
    double cpuPercent;
};

// Starts a transfer and lets the window work until it has ended.
TransferFigures RunTransfer(TForm1& form, const std::function<void()>& startIt,
                            const std::string& finalText, const char* name) {
    const double cpuBefore = CpuSeconds();
    const Clock::time_point start = Clock::now();
    startIt();
    // The progress bar shows while the transfer runs. Sleeps until the transfer hands something
    // to the window; never polls.
    const QProgressBar* progress = form.findChild<QProgressBar*>();
    while (progress->isVisible()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = CpuSeconds() - cpuBefore;
    const std::string status = form.StatusText().toStdString();
    std::printf(
        "%-5s %-30s wall %7.3f s  ratio to %.0f s floor %.4f  CPU %6.3f s = %.3f %% of wall\n",
        name, status.c_str(), wall, FloorSeconds, wall / FloorSeconds, cpu, 100.0 * cpu / wall);
    return {status == finalText, wall / FloorSeconds, 100.0 * cpu / wall};
}

TransferFigures RunCommand(TForm1& form, const char* item, const std::string& finalText,
                           const char* name) {
    return RunTransfer(
        form, [&] { form.findChild<QAction*>(QLatin1String(item))->trigger(); }, finalText, name);
}

// A send, then `runs` verifies of what it sent; answers whether all ended as they should.
bool RunVerifies(TForm1& form, int runs) {
    if (!RunCommand(form, "SendFileToQ44711", "Finished sending to Q4471", "send").ended) {
        return false;
    }
    auto* verify = form.findChild<QToolButton*>(QStringLiteral("VerifyButton"));
    std::vector<double> overFloor;
    std::vector<double> cpuPercents;
    bool allMatched = true;
    for (int run = 0; run < runs; ++run) {
        const TransferFigures figures = RunTransfer(
            form, [verify] { verify->click(); }, "Verified 100 memories: all match", "verify");
        allMatched = allMatched && figures.ended;
        overFloor.push_back(100.0 * (figures.ratio - 1.0));
        cpuPercents.push_back(figures.cpuPercent);
    }
    if (runs > 1) {
        PrintFigures("verify: wall over the 35 s floor", "%", overFloor);
        PrintFigures("verify: CPU / wall", "%", cpuPercents);
    }
    return allMatched;
}

// Lets the window work for `duration`, serving the transfer's hand-overs meanwhile.
void ServeFor(std::chrono::milliseconds duration) {
    const Clock::time_point end = Clock::now() + duration;
    while (Clock::now() < end) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

// Starts the transfer `runs` times and presses Stop after a wait that moves through a memory's
// pause; the figure is the time from the press until the transfer has ended.
void TimeStops(TForm1& form, const char* item, const char* name, int runs) {
    std::vector<double> milliseconds;
    for (int run = 0; run < runs; ++run) {
        form.findChild<QAction*>(QLatin1String(item))->trigger();
        ServeFor(std::chrono::milliseconds(400 + run * 350 / runs));
        const Clock::time_point pressed = Clock::now();
        form.StopTransferClick();
        milliseconds.push_back(
            std::chrono::duration<double, std::milli>(Clock::now() - pressed).count());
    }
    PrintFigures(name, "ms", milliseconds);
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QtFrameworkBinding binding;

    char folderPattern[] = "/tmp/q4471-radio-bench-XXXXXX";
    const std::string folder = mkdtemp(folderPattern);
    WriteMemories(folder + "/radio.mem");
    QProcess radio;
    radio.start(QStringLiteral(RADIO_SIM_PROGRAM),
                {QStringLiteral("--load"), QString::fromStdString(folder + "/radio.mem"),
                 QStringLiteral("--log"), QString::fromStdString(folder + "/radio.log")});
    if (!radio.waitForReadyRead(10000)) {
        std::fprintf(stderr, "the simulated radio did not start\n");
        return 1;
    }
    const QByteArray device = radio.readLine().trimmed();
    // COM1 is the radio; the other names must not fall back to this machine's serial devices.
    setenv("Q4471_COM1", device.constData(), 1);
    for (const char* other : {"Q4471_COM2", "Q4471_COM3", "Q4471_COM4"}) {
        setenv(other, (folder + "/none").c_str(), 1);
    }

    bool finished = false;
    {
        TForm1 form;
        form.show();
        form.ComPortChange(1);
        std::printf("simulated radio on %s: %s\n", device.constData(),
                    form.StatusText().toStdString().c_str());
        const std::string mode = argc > 1 ? argv[1] : "";
        if (mode == "verify") {
            finished = RunVerifies(form, argc > 2 ? std::max(1, std::atoi(argv[2])) : 1);
        } else {
            finished =
                mode == "stop" ||
                (RunCommand(form, "LoadFromQ44711", "Finished loading from Q4471", "load").ended &&
                 RunVerifies(form, 1));
            TimeStops(form, "LoadFromQ44711", "Stop during a load", 20);
            TimeStops(form, "SendFileToQ44711", "Stop during a send", 20);
        }
    }
    radio.terminate();
    radio.waitForFinished(10000);
    std::filesystem::remove_all(folder);
    return finished ? 0 : 1;
}
