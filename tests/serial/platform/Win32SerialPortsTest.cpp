// The port list and watcher on Windows (run under Wine): ports that serial drivers enter in the
// registry's list of serial devices, written here as a driver would.
#include <q4471/serial/SerialPortWatcher.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <windows.h>

using namespace q4471;

namespace {

using namespace std::chrono_literals;

constexpr char SerialComm[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

// A port that a driver would register, for the life of the object.
class RegisteredPort {
public:
    RegisteredPort(const char* driverName, const char* port) : name_(driverName) {
        EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, SerialComm, 0, nullptr, REG_OPTION_VOLATILE,
                                  KEY_SET_VALUE, nullptr, &key_, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExA(key_, driverName, 0, REG_SZ, reinterpret_cast<const BYTE*>(port),
                                 static_cast<DWORD>(strlen(port) + 1)),
                  ERROR_SUCCESS);
    }
    ~RegisteredPort() {
        RegDeleteValueA(key_, name_);
        RegCloseKey(key_);
    }
    RegisteredPort(const RegisteredPort&) = delete;
    RegisteredPort& operator=(const RegisteredPort&) = delete;

private:
    const char* name_;
    HKEY key_ = nullptr;
};

const TSerialPortInfo* Find(const std::vector<TSerialPortInfo>& ports, const std::string& device) {
    const auto found = std::find_if(ports.begin(), ports.end(), [&](const TSerialPortInfo& port) {
        return port.Device == device;
    });
    return found == ports.end() ? nullptr : &*found;
}

TEST(Win32SerialPortsTest, RegisteredPortsAreListedWithTheKindTheirDriverTells) {
    const RegisteredPort adapter("\\Device\\VCP0", "COM41");
    const RegisteredPort modem("\\Device\\USBSER000", "COM42");
    const RegisteredPort uart("\\Device\\Serial7", "COM43");
    const std::vector<TSerialPortInfo> ports = ListSerialPorts();
    for (const auto& [device, kind] :
         {std::pair{"COM41", pkUsbAdapter}, {"COM42", pkUsbModem}, {"COM43", pkBuiltIn}}) {
        const TSerialPortInfo* port = Find(ports, device);
        ASSERT_NE(port, nullptr) << device;
        EXPECT_EQ(port->Kind, kind) << device;
        EXPECT_TRUE(port->Accessible);
    }
}

TEST(Win32SerialPortsTest, TheWatcherTellsOfAPortRegisteredAndRemovedOnItsOwnThread) {
    TSerialPortWatcher watcher;
    watcher.SetHandlerThread(htPortThreads);
    std::mutex mutex;
    std::vector<std::string> news;
    watcher.OnArrived = [&](TObject*, const TSerialPortInfo& port) {
        const std::lock_guard lock(mutex);
        news.push_back("+" + port.Device);
    };
    watcher.OnLeft = [&](TObject*, const TSerialPortInfo& port) {
        const std::lock_guard lock(mutex);
        news.push_back("-" + port.Device);
    };
    watcher.Start();
    const auto heard = [&](std::size_t count) {
        const auto end = std::chrono::steady_clock::now() + 30s;
        for (;;) {
            {
                const std::lock_guard lock(mutex);
                if (news.size() >= count) {
                    return true;
                }
            }
            if (std::chrono::steady_clock::now() >= end) {
                return false;
            }
            std::this_thread::sleep_for(10ms);
        }
    };
    {
        const RegisteredPort adapter("\\Device\\VCP9", "COM44");
        ASSERT_TRUE(heard(1));
    }
    ASSERT_TRUE(heard(2));
    watcher.Stop();
    EXPECT_EQ(news, (std::vector<std::string>{"+COM44", "-COM44"}));
}

} // namespace
