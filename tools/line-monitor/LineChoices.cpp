#include "LineChoices.h"

#include <q4471/serial/DeviceNames.h>

namespace LineChoices {

std::vector<TVaBaudrate> Rates() {
    std::vector<TVaBaudrate> rates;
    for (int rate = br110; rate <= br256000; ++rate) {
        rates.push_back(static_cast<TVaBaudrate>(rate));
    }
    return rates;
}

void ApplyLineSettings(TVaCustomComm& comm, const TLineSettings& settings) {
    TVaFlowControl flow;
    flow.SetControlDtr(settings.Dtr ? dtrEnabled : dtrDisabled);
    flow.SetControlRts(settings.Rts ? rtsEnabled : rtsDisabled);
    if (settings.Flow == flRtsCts) {
        flow.SetOutCtsFlow(true);
        flow.SetControlRts(rtsHandshake);
    } else if (settings.Flow == flXonXoff) {
        flow.SetXonXoffOut(true);
        flow.SetXonXoffIn(true);
    }
    comm.SetBaudrate(settings.Rate);
    comm.SetDatabits(settings.Databits);
    comm.SetParity(settings.Parity);
    comm.SetStopbits(settings.Stopbits);
    comm.SetFlowControl(flow);
}

namespace {

template <class T, std::size_t N>
const char* LabelOf(const std::array<TChoice<T>, N>& choices, T value) {
    for (const TChoice<T>& choice : choices) {
        if (choice.Value == value) {
            return choice.Label;
        }
    }
    return "?";
}

} // namespace

std::string DescribeLine(const TLineSettings& settings) {
    static constexpr std::array<TChoice<TFlow>, 3> FlowTexts{
        {{"no flow control", flNone},
         {"RTS/CTS flow control", flRtsCts},
         {"XON/XOFF flow control", flXonXoff}}};
    std::string text = std::to_string(VaBaudrateValues[settings.Rate]) + " baud, ";
    text += LabelOf(DataBits, settings.Databits);
    text += LabelOf(Parities, settings.Parity)[0];
    text += LabelOf(StopBits, settings.Stopbits);
    text += ", ";
    text += LabelOf(FlowTexts, settings.Flow);
    return text;
}

std::vector<TPortItem> PortItems(const std::vector<TSerialPortInfo>& ports) {
    std::vector<TPortItem> items;
    for (int port = 1; port <= 4; ++port) {
        const std::string name = "COM" + std::to_string(port);
        std::string detail = SerialPlatform::DeviceNodeFor(name);
        for (const TSerialPortInfo& present : ports) {
            if (present.Device == detail) {
                detail += ": " + PortIdentity(present);
            }
        }
        items.push_back({name, detail});
    }
    for (const TSerialPortInfo& port : ports) {
        items.push_back({port.Device, PortIdentity(port)});
    }
    return items;
}

std::string DeviceNamePattern(std::string_view name) {
    std::string pattern;
    for (const char ch : name) {
        pattern += ch;
        if (ch == '%') {
            pattern += '%';
        }
    }
    return pattern;
}

} // namespace LineChoices
