#pragma once

// What the port list and watcher need of the system beyond ListSerialPorts: the programs holding
// a device, and a wait that ends when the set of serial ports may have changed, with no polling.
// Linux watches /dev and /dev/serial/{by-id,by-path} with inotify, which needs no udev daemon;
// Windows watches the registry's list of serial devices.

#include <q4471/serial/SerialPorts.h>
#include <q4471/serial/SignalHandle.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace SerialPlatform {

enum TPortWaitResult { pwChanged, pwStopped, pwFailed };

class IPortChangeWaiter {
public:
    virtual ~IPortChangeWaiter() = default;

    // Blocks until the ports may have changed (pwChanged, once a burst of changes has settled)
    // or the stop signal is set (pwStopped). pwFailed: the wait itself failed, the error is in
    // GetLastError. With pwChanged, `removed` holds the device nodes that went away during the
    // burst, so that one that came back within it still counts as gone and back (empty where the
    // system does not tell). One thread waits at a time.
    virtual TPortWaitResult WaitForChange(std::vector<std::string>& removed) = 0;
};

// A waiter on the system's ports under `folders`, stopped by `stop`; nullptr with the error in
// GetLastError when the system refuses a watch.
std::unique_ptr<IPortChangeWaiter> CreatePortChangeWaiter(const TSerialSystemFolders& folders,
                                                          TSignalHandle stop);

// "name (process N)" for each other process holding one of `nodes` open, by node, as far as this
// user may look into other processes (Linux: the descriptors under `proc`; Windows: none).
std::map<std::string, std::vector<std::string>>
ProgramsHolding(const std::vector<std::string>& nodes, const std::string& proc);

// Orders device names as a person does: the digits as numbers (ttyS2 before ttyS10).
bool NaturalLess(const std::string& a, const std::string& b);

} // namespace SerialPlatform
