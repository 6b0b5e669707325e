#include "LineMonitorClient.h"

void TLineMonitorClient::DataChanged(PVaData data, int32_t count) {
    if (OnData && count > 0) {
        OnData(data, count);
    }
}

void TLineMonitorClient::LineChanged(uint32_t evtMask) {
    if (OnLine) {
        OnLine(evtMask);
    }
}
