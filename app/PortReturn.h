#pragma once

#include <q4471/serial/SerialPorts.h>

#include <string>
#include <vector>

// Which device the open Com Port stands for, by its stable names, so that the window can reopen
// it when it vanishes and comes back (a cable pulled and plugged in again), whatever node the
// system gives it this time. A device without stable names is not followed: nothing else tells
// it apart from another adapter.
class TPortReturn {
public:
    // Port `port` (1 to 4) opened `device`; `ports` are the ports present.
    void Opened(int port, const std::string& device, const std::vector<TSerialPortInfo>& ports);
    // The port was closed or another chosen: nothing to wait for.
    void Forget();
    // The open port's device vanished: its return is awaited.
    void Lost() { lost_ = !names_.empty(); }
    // The port to reopen when `port` is the lost device back under one of its stable names;
    // 0 otherwise. Answers it once.
    int Returned(const TSerialPortInfo& port);

private:
    int port_ = 0;
    std::vector<std::string> names_;
    bool lost_ = false;
};
