// Qt 6 QSerialPort echoing on the slave end: readyRead -> readAll -> write, in Qt's event loop.
// A lost line shows as errorOccurred; the program then leaves the port open, as an application
// does that shows the error and waits for its user.

#include "EchoProgram.h"

#include <QCoreApplication>
#include <QSerialPort>

int main(int argc, char** argv) {
    const echo::Arguments arguments = echo::Start(argc, argv);
    QCoreApplication application(argc, argv);
    QSerialPort port;
    port.setPortName(QString::fromStdString(arguments.device));
    if (!port.open(QIODevice::ReadWrite) || !port.setBaudRate(115200) ||
        !port.setDataBits(QSerialPort::Data8) || !port.setParity(QSerialPort::NoParity) ||
        !port.setStopBits(QSerialPort::OneStop) ||
        !port.setFlowControl(QSerialPort::NoFlowControl)) {
        echo::Fail("cannot open: " + port.errorString().toStdString());
    }
    QObject::connect(&port, &QSerialPort::errorOccurred, [](QSerialPort::SerialPortError error) {
        if (error != QSerialPort::NoError) {
            echo::Lost("errorOccurred " + std::to_string(static_cast<int>(error)));
        }
    });
    if (!arguments.noTaker) {
        QObject::connect(&port, &QSerialPort::readyRead, [&port] {
            const QByteArray data = port.readAll();
            const auto size = static_cast<std::size_t>(data.size());
            echo::CheckReceived(data.constData(), size);
            if (port.write(data) != data.size()) {
                echo::Fail("write took fewer bytes than it was given");
            }
            echo::Returned(size);
        });
    }
    echo::Report("ready");
    return QCoreApplication::exec();
}
