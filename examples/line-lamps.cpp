// line-lamps DEVICE: a window with the port's line-status lamps and the text it receives, shown by
// a client of the port. Closing the window, Ctrl+C or SIGTERM ends it.
#include <q4471/framework/Application.h>
#include <q4471/framework/qt/QtFramework.h>
#include <q4471/serial/VaComm.h>
#include <q4471/serial/VaCommClients.h>
#include <q4471/serial/display/VaLEDDisplay.h>

#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdio>

namespace {

// A client of the port: shows the last bytes received and tells standard output about them.
class TReceivedText : public TVaCommComponent {
public:
    TReceivedText(q4471::TComponent* owner, QLabel& label)
        : TVaCommComponent(owner), label_(label) {}

    void DataChanged(PVaData data, int32_t count) override {
        const QString text = QString::fromLatin1(data, count);
        label_.setText(text.trimmed());
        std::printf("client received %d bytes: %s\n", count, qPrintable(text.trimmed()));
        std::fflush(stdout);
    }

private:
    QLabel& label_;
};

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "Usage: line-lamps DEVICE\n");
        return 2;
    }
    // Hands the port's events to Qt's event loop.
    const q4471::QtFrameworkBinding binding;

    QWidget window;
    window.setWindowTitle(QStringLiteral("Line lamps: %1").arg(QString::fromLocal8Bit(argv[1])));
    auto* layout = new QVBoxLayout(&window);
    auto* lamps = new TVaLEDDisplay(nullptr, &window);
    lamps->setMinimumSize(360, 24);
    auto* received = new QLabel(QStringLiteral("(nothing received)"), &window);
    layout->addWidget(lamps);
    layout->addWidget(received);

    TVaComm comm(nullptr);
    comm.SetDeviceName(argv[1]);
    comm.SetBaudrate(br9600);
    comm.SetMonitorEvents({ceRxChar, ceCts, ceDsr, ceRing, ceRlsd, ceError});
    comm.SetDisplay(lamps);
    TReceivedText client(nullptr, *received);
    client.SetComm(&comm);
    try {
        comm.Open();
    } catch (const EVaCommError& error) {
        std::fprintf(stderr, "line-lamps: %s\n", error.what());
        return 1;
    }
    std::printf("showing %s\n", argv[1]);
    std::fflush(stdout);

    window.show();
    // Qt's event loop, which the binding makes Application::Run's: it ends when the window
    // closes, and on Ctrl+C or SIGTERM.
    q4471::Application::Run();
    comm.Close();
    std::printf("closed\n");
}
