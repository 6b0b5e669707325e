#include "app/PortReturn.h"

#include <algorithm>

void TPortReturn::Opened(int port, const std::string& device,
                         const std::vector<TSerialPortInfo>& ports) {
    Forget();
    const auto found = std::find_if(ports.begin(), ports.end(), [&](const TSerialPortInfo& info) {
        return info.Device == device || std::find(info.StableNames.begin(), info.StableNames.end(),
                                                  device) != info.StableNames.end();
    });
    if (found != ports.end()) {
        port_ = port;
        names_ = found->StableNames;
    }
}

void TPortReturn::Forget() {
    port_ = 0;
    names_.clear();
    lost_ = false;
}

int TPortReturn::Returned(const TSerialPortInfo& port) {
    const bool same = std::any_of(
        port.StableNames.begin(), port.StableNames.end(), [this](const std::string& name) {
            return std::find(names_.begin(), names_.end(), name) != names_.end();
        });
    if (!lost_ || !same) {
        return 0;
    }
    lost_ = false;
    return port_;
}
