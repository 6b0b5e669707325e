// Boost.Asio's serial_port echoing on the slave end: async_read_some -> async_write, then the
// next read, in one io_context. A lost line shows as an error in a completion handler.

#include "EchoProgram.h"

#include <array>
#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/serial_port.hpp>
#include <boost/asio/write.hpp>

namespace {

namespace asio = boost::asio;

class AsioEcho {
public:
    explicit AsioEcho(asio::serial_port& port) : port_(port) {}

    void Read() {
        port_.async_read_some(
            asio::buffer(buffer_), [this](boost::system::error_code error, std::size_t count) {
                if (error) {
                    echo::Lost("read: " + error.message());
                    return;
                }
                echo::CheckReceived(buffer_.data(), count);
                asio::async_write(port_, asio::buffer(buffer_.data(), count),
                                  [this](boost::system::error_code error, std::size_t sent) {
                                      if (error) {
                                          echo::Lost("write: " + error.message());
                                          return;
                                      }
                                      echo::Returned(sent);
                                      Read();
                                  });
            });
    }

private:
    asio::serial_port& port_;
    std::array<char, 65536> buffer_{};
};

} // namespace

int main(int argc, char** argv) {
    const echo::Arguments arguments = echo::Start(argc, argv);
    asio::io_context context;
    asio::serial_port port(context);
    try {
        port.open(arguments.device);
        port.set_option(asio::serial_port::baud_rate(115200));
        port.set_option(asio::serial_port::character_size(8));
        port.set_option(asio::serial_port::parity(asio::serial_port::parity::none));
        port.set_option(asio::serial_port::stop_bits(asio::serial_port::stop_bits::one));
        port.set_option(asio::serial_port::flow_control(asio::serial_port::flow_control::none));
    } catch (const std::exception& error) {
        echo::Fail(std::string("cannot open: ") + error.what());
    }
    AsioEcho echoer(port);
    if (!arguments.noTaker) {
        echoer.Read();
    }
    // Keeps the loop waiting once nothing is outstanding, as a program's main loop does.
    const auto work = asio::make_work_guard(context);
    echo::Report("ready");
    context.run();
    return 0;
}
