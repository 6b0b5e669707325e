// The serial ports present, one line each with what they are; with --watch, then one line per
// port that arrives or leaves, until Ctrl+C or SIGTERM.
//   list-ports [--watch] [--root FOLDER]
// --root reads FOLDER/dev, FOLDER/sys and FOLDER/proc instead of the system's (a test's tree).
#include <q4471/framework/Application.h>
#include <q4471/serial/SerialPortWatcher.h>

#include <iostream>
#include <string>

namespace {

std::string Describe(const TSerialPortInfo& port) {
    std::string line = port.Device + ": " + PortIdentity(port) + " [" + PortKindName(port.Kind);
    if (!port.Driver.empty()) {
        line += ", driver " + port.Driver;
    }
    line += "]";
    for (const std::string& name : port.StableNames) {
        line += " " + name;
    }
    if (!port.Accessible) {
        line += " (no permission)";
    }
    for (const std::string& holder : port.Holders) {
        line += " (in use by " + holder + ")";
    }
    return line;
}

} // namespace

int main(int argc, char** argv) {
    bool watch = false;
    TSerialSystemFolders folders;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--watch") {
            watch = true;
        } else if (option == "--root" && i + 1 < argc) {
            const std::string root = argv[++i];
            folders = {root + "/dev", root + "/proc", root + "/sys"};
        } else {
            std::cerr << "Usage: list-ports [--watch] [--root FOLDER]\n";
            return 2;
        }
    }
    TSerialPortWatcher watcher;
    watcher.SetFolders(folders);
    // Handlers run on this thread, in Application::Run.
    watcher.OnArrived = [](q4471::TObject*, const TSerialPortInfo& port) {
        std::cout << "arrived " << Describe(port) << std::endl;
    };
    watcher.OnLeft = [](q4471::TObject*, const TSerialPortInfo& port) {
        std::cout << "left " << port.Device << std::endl;
    };
    try {
        if (watch) {
            watcher.Start(); // before the listing, so that no change between the two is lost
        }
        const std::vector<TSerialPortInfo> ports =
            watch ? watcher.Ports() : ListSerialPorts(folders);
        for (const TSerialPortInfo& port : ports) {
            std::cout << Describe(port) << '\n';
        }
        if (ports.empty()) {
            std::cout << "no serial ports\n";
        }
    } catch (const std::exception& error) {
        std::cerr << error.what() << '\n';
        return 1;
    }
    if (watch) {
        std::cout << "watching; Ctrl+C ends" << std::endl;
        q4471::Application::Run(); // until Ctrl+C or SIGTERM
    }
}
