#pragma once

#include <q4471/serial/VaCommClients.h>

#include <functional>

// The monitor's client of the port: hands on what the port delivers, on the GUI thread. The
// window owns it and sets the two handlers before attaching it with SetComm.
class TLineMonitorClient : public TVaCommComponent {
public:
    using TVaCommComponent::TVaCommComponent;

    // The bytes are valid only during the call.
    std::function<void(PVaData data, int32_t count)> OnData;
    std::function<void(uint32_t evtMask)> OnLine;

    void DataChanged(PVaData data, int32_t count) override;
    void LineChanged(uint32_t evtMask) override;
};
