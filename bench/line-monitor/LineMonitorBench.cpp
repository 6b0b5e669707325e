// Figures of the line monitor's window, offscreen, showing a continuous 115,200-baud stream that
// a thread of this bench writes to the far end of a pseudo-terminal in small paced pieces
// (11,520 bytes per second, a piece every 5 ms):
// - the process's CPU time (user + system) as a share of the wall time, the writer's own CPU
//   time taken out, over 3 runs of 5 s;
// - the time from a piece's write at the far end to its first byte's line in the view's text,
//   over 3 more runs, with a watch on the view's document that the CPU runs go without;
// - a burst of 2 MB written as fast as the monitor takes it: how long that takes, the lines the
//   view then keeps and the process's resident memory.
//
//   bench/line-monitor/line_monitor_bench

#include "BenchSupport.h"
#include "Figures.h"
#include "LineMonitorForm.h"
#include "OffscreenProgram.h"
#include "TrafficView.h"
#include "serial/diagnostics/TrafficFormat.h"

#include <q4471/framework/qt/QtFramework.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <thread>

using namespace q4471;

namespace {

constexpr double BytesPerSecond = 11520;
constexpr auto Piece = std::chrono::milliseconds(5);
constexpr auto RunTime = std::chrono::seconds(5);
constexpr int Runs = 3;

// Each piece starts with its number, "#000123;", so that the view can tell which piece it shows.
std::string PieceText(int number, std::size_t size) {
    char marker[16];
    std::snprintf(marker, sizeof marker, "#%06d;", number);
    std::string text = marker;
    while (text.size() < size) {
        text += static_cast<char>('a' + text.size() % 26);
    }
    text.resize(size);
    return text;
}

// Writes the stream for RunTime, keeping to BytesPerSecond on average; notes when each piece was
// written, and its own CPU time.
struct TStreamWriter {
    int master;
    std::vector<Clock::time_point> written;
    double cpuSeconds = 0;

    void Run() {
        const Clock::time_point start = Clock::now();
        double sent = 0;
        for (Clock::time_point next = start; next - start < RunTime; next += Piece) {
            std::this_thread::sleep_until(next);
            const double due =
                BytesPerSecond * std::chrono::duration<double>(Clock::now() - start).count();
            const auto size = static_cast<std::size_t>(std::max(8.0, due - sent));
            const std::string piece = PieceText(static_cast<int>(written.size()), size);
            written.push_back(Clock::now());
            WriteExactly(master, piece.data(), piece.size());
            sent += static_cast<double>(piece.size());
        }
        cpuSeconds = ThreadCpuSeconds();
    }
};

// Watches the view's text for the pieces' numbers as lines are appended.
class TViewWatch {
public:
    explicit TViewWatch(TTrafficView& view) : view_(view) {
        connection_ =
            QObject::connect(view.document(), &QTextDocument::contentsChange,
                             [this](int position, int, int added) { Read(position, added); });
    }
    ~TViewWatch() { QObject::disconnect(connection_); }

    // When each piece showed, by number.
    std::vector<Clock::time_point> shown;

private:
    void Read(int position, int added) {
        const Clock::time_point now = Clock::now();
        QTextDocument& document = *view_.document();
        for (QTextBlock block = document.findBlock(position);
             block.isValid() && block.position() <= position + added; block = block.next()) {
            const std::string line = block.text().toStdString();
            if (line.size() > TrafficFormat::TextColumn &&
                line.compare(TrafficFormat::StampWidth + 1, 2, "RX") == 0) {
                text_ += line.substr(TrafficFormat::TextColumn);
            }
        }
        // The filler holds no '#': each one starts a number, which a line may have cut in two.
        std::size_t at = 0;
        while ((at = text_.find('#', at)) != std::string::npos && at + 8 <= text_.size()) {
            const auto number = static_cast<std::size_t>(std::stoi(text_.substr(at + 1, 6)));
            if (number >= shown.size()) {
                shown.resize(number + 1);
            }
            shown[number] = now;
            at += 8;
        }
        text_.erase(0, at == std::string::npos ? text_.size() : at);
    }

    TTrafficView& view_;
    QMetaObject::Connection connection_;
    std::string text_;
};

struct TRun {
    double cpuShare = 0;
    std::vector<double> latenciesMs;
};

TRun StreamOnce(TLineMonitorForm& form, const Pty& pty, bool watch) {
    form.View().ClearLines();
    std::unique_ptr<TViewWatch> viewWatch;
    if (watch) {
        viewWatch = std::make_unique<TViewWatch>(form.View());
    }
    TStreamWriter writer{pty.Master(), {}, 0};
    writer.written.reserve(2000);
    const double cpuBefore = ProcessCpuSeconds();
    const Clock::time_point start = Clock::now();
    // The window's own event loop, idle between deliveries as in the program; the writer ends it.
    QEventLoop loop;
    std::thread thread([&] {
        writer.Run();
        QMetaObject::invokeMethod(
            &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    loop.exec();
    // The last pieces still show.
    QTimer::singleShot(200, &loop, &QEventLoop::quit);
    loop.exec();
    thread.join();
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    TRun run;
    run.cpuShare = 100.0 * (ProcessCpuSeconds() - cpuBefore - writer.cpuSeconds) / wall;
    if (viewWatch) {
        for (std::size_t number = 0; number < writer.written.size(); ++number) {
            if (number < viewWatch->shown.size() &&
                viewWatch->shown[number] != Clock::time_point{}) {
                run.latenciesMs.push_back(std::chrono::duration<double, std::milli>(
                                              viewWatch->shown[number] - writer.written[number])
                                              .count());
            }
        }
        std::printf("  latency run: %zu of %zu pieces seen in the view\n", run.latenciesMs.size(),
                    writer.written.size());
    }
    return run;
}

void Burst(TLineMonitorForm& form, const Pty& pty) {
    form.View().ClearLines();
    const std::size_t total = 2 * 1024 * 1024;
    const int64_t before = form.BytesIn();
    const Clock::time_point start = Clock::now();
    std::thread writer([&] {
        const std::string block = PieceText(0, 4096);
        for (std::size_t sent = 0; sent < total; sent += block.size()) {
            WriteExactly(pty.Master(), block.data(), block.size());
        }
    });
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (form.BytesIn() - before >= static_cast<int64_t>(total)) {
            loop.quit();
        }
    });
    check.start(10);
    loop.exec();
    writer.join();
    form.View().Flush();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("2 MB burst: taken and shown in %.2f s (%.0f kB/s); the view keeps %d lines; "
                "resident peak %ld kB\n",
                seconds, total / 1024.0 / seconds, form.View().blockCount(),
                PeakKilobytes(getpid()));
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QtFrameworkBinding binding;
    const Pty pty;
    TLineMonitorForm form;
    form.show();
    auto* rate = form.findChild<QComboBox*>(QStringLiteral("RateBox"));
    rate->setCurrentIndex(rate->findText(QStringLiteral("115200")));
    form.OpenPort(pty.Slave());
    std::printf("%s\n", form.StatusText().toStdString().c_str());
    if (!form.Comm().Active()) {
        return 1;
    }

    std::vector<double> cpu;
    for (int run = 0; run < Runs; ++run) {
        cpu.push_back(StreamOnce(form, pty, false).cpuShare);
    }
    PrintFigures("CPU, % of one core, 11,520 B/s", "%", cpu);

    std::vector<double> latencies;
    for (int run = 0; run < Runs; ++run) {
        const TRun once = StreamOnce(form, pty, true);
        latencies.insert(latencies.end(), once.latenciesMs.begin(), once.latenciesMs.end());
    }
    if (!latencies.empty()) {
        std::sort(latencies.begin(), latencies.end());
        std::printf("write at the far end to the view's text: median %.1f ms  max %.1f ms  (%zu "
                    "pieces)\n",
                    latencies[latencies.size() / 2], latencies.back(), latencies.size());
    }
    Burst(form, pty);
    return 0;
}
