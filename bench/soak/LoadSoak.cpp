// Runs many whole loads from the simulated radio through the editor's window (offscreen), with
// the pacing shortened by the soak build; prints descriptors, threads and memory at the start, on
// the way and at the end, and checks every load's 100 rows.
//
//   bench/soak/load_soak [loads]

#include "ProcessFigures.h"
#include "SimulatedRadio.h"
#include "app/TForm1.h"
#include "memories/MemoryRow.h"

#include <q4471/framework/Application.h>
#include <q4471/framework/qt/QtFramework.h>

#include <QAction>
#include <QApplication>
#include <QProgressBar>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace q4471;

namespace {

using Clock = std::chrono::steady_clock;

// GCC 12 at -O3 reports a false -Wrestrict inside std::string concatenation (GCC bug 105651).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
std::string Label(long load, int number) {
    return (load % 2 == 0 ? "E" : "O") + std::to_string(number);
}
#pragma GCC diagnostic pop

// The radio's memories for this load: every other load has other labels, so that each load
// must really have filled the rows.
void FillRadio(radiosim::SimulatedRadio& radio, long load) {
    for (int n = 1; n <= MemoryCount; ++n) {
        radio.SetRecord(n, std::to_string(n) + "," + Label(load, n) + ",146.520,146.520,1,100.0");
    }
}

class Editor {
public:
    explicit Editor(const std::string& device) {
        setenv("Q4471_COM1", device.c_str(), 1);
        Application::SetExceptionDisplay([this](const std::string& message) {
            ++errorBoxes_;
            std::fprintf(stderr, "error box: %s\n", message.c_str());
        });
        form_ = std::make_unique<TForm1>();
        Trigger("COM11");
    }

    // One whole load; false, with what went wrong on standard error, when it did not end within
    // two minutes with every row filled.
    bool Load(long load) {
        Trigger("LoadFromQ44711");
        const auto* progress = form_->findChild<QProgressBar*>();
        const Clock::time_point deadline = Clock::now() + std::chrono::minutes(2);
        // Served by Qt's event loop, as in the program; the timer bounds each wait.
        QTimer heartbeat;
        heartbeat.start(100);
        while (!progress->isHidden()) {
            if (Clock::now() > deadline) {
                std::fprintf(stderr, "load %ld did not end\n", load);
                return false;
            }
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        const std::string status = form_->StatusText().toStdString();
        if (status != "Finished loading from Q4471") {
            std::fprintf(stderr, "load %ld ended with \"%s\"\n", load, status.c_str());
            return false;
        }
        for (int n = 1; n <= MemoryCount; ++n) {
            const std::string label = form_->MemoryRows()[static_cast<size_t>(n)]->GetLabel();
            if (label != Label(load, n)) {
                std::fprintf(stderr, "load %ld: row %d has \"%s\"\n", load, n, label.c_str());
                return false;
            }
        }
        return true;
    }

    int ErrorBoxes() const { return errorBoxes_; }

private:
    void Trigger(const char* item) { form_->findChild<QAction*>(QLatin1String(item))->trigger(); }

    QtFrameworkBinding binding_;
    std::unique_ptr<TForm1> form_;
    int errorBoxes_ = 0;
};

// The figures once the last load's thread has returned: it hands over its final text before it
// does.
ProcessFigures SettledFigures() {
    QTimer done;
    done.setSingleShot(true);
    done.start(200);
    while (done.isActive()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return ReadProcessFigures();
}

} // namespace

int main(int argc, char** argv) {
    const long loads = argc > 1 ? std::atol(argv[1]) : 1000;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QApplication application(qtArgc, argv);

    radiosim::RadioOptions options;
    options.logPath = "/dev/null";
    radiosim::SimulatedRadio radio(options);
    radio.Start();
    Editor editor(radio.DevicePath());

    long failed = 0;
    // The first loads set up what lives as long as the window, and fill the radio's record of
    // the commands it received (the newest 10,000 are kept): the start figures come after them.
    const long warmUp = static_cast<long>(radiosim::CommandHistory::Retained) / MemoryCount;
    for (long load = -warmUp; load < 0; ++load) {
        FillRadio(radio, load);
        failed += editor.Load(load) ? 0 : 1;
    }
    const ProcessFigures start = SettledFigures();
    PrintFigures("start", 0, start);
    const Clock::time_point began = Clock::now();
    for (long done = 1; done <= loads; ++done) {
        FillRadio(radio, done);
        failed += editor.Load(done) ? 0 : 1;
        if (done % (loads / 10 > 0 ? loads / 10 : 1) == 0 && done != loads) {
            PrintFigures("", done, SettledFigures());
        }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - began).count();
    const ProcessFigures end = SettledFigures();
    PrintFigures("end", loads, end);
    std::printf("%ld loads of 100 memories in %.1f s (%.2f s each, pacing %d ms), %ld failed, "
                "%d error boxes\n",
                loads, seconds, seconds / static_cast<double>(loads), TQ4471Radio::ReplyDelayMs,
                failed, editor.ErrorBoxes());
    const bool leaked = Leaked(start, end);
    std::printf("%s\n", leaked ? "GROWTH: descriptors or threads left behind" : "no growth");
    return leaked || failed > 0 ? 1 : 0;
}
