#pragma once

#include <q4471/serial/SerialPorts.h>
#include <q4471/serial/VaComm.h>

#include <array>
#include <string>
#include <string_view>
#include <vector>

// The ports and line settings a user picks from, and how a pick goes into the port.
namespace LineChoices {

template <class T> struct TChoice {
    const char* Label;
    T Value;
};

enum TFlow { flNone, flRtsCts, flXonXoff };

// Every rate the port names, slowest first (the rate held in UserBaudrate is left out).
std::vector<TVaBaudrate> Rates();
inline constexpr std::array<TChoice<TVaDatabits>, 4> DataBits{
    {{"5", db5}, {"6", db6}, {"7", db7}, {"8", db8}}};
inline constexpr std::array<TChoice<TVaParity>, 5> Parities{
    {{"None", paNone}, {"Odd", paOdd}, {"Even", paEven}, {"Mark", paMark}, {"Space", paSpace}}};
inline constexpr std::array<TChoice<TVaStopbits>, 3> StopBits{
    {{"1", sb1}, {"1.5", sb15}, {"2", sb2}}};
inline constexpr std::array<TChoice<TFlow>, 3> Flows{
    {{"None", flNone}, {"RTS/CTS", flRtsCts}, {"XON/XOFF", flXonXoff}}};

// One full set of line settings; the defaults are the radio's line.
struct TLineSettings {
    TVaBaudrate Rate = br9600;
    TVaDatabits Databits = db8;
    TVaParity Parity = paNone;
    TVaStopbits Stopbits = sb1;
    TFlow Flow = flNone;
    // Whether DTR and RTS are raised when the port opens or its settings are written; RTS is the
    // handshake's own under RTS/CTS.
    bool Dtr = false;
    bool Rts = false;
};

// Gives the port the settings; on an open port each one is written at once and a refusal raises
// the port's EVaCommError, leaving the later settings unapplied.
void ApplyLineSettings(TVaCustomComm& comm, const TLineSettings& settings);

// "9600 baud, 8N1, no flow control".
std::string DescribeLine(const TLineSettings& settings);

// The port box's choices: the four COM names, each with the device it maps to now and what that
// is, then each port of `ports` by its device with what it is.
struct TPortItem {
    std::string Name;   // what opens it
    std::string Detail; // what the box shows beside the name
};
std::vector<TPortItem> PortItems(const std::vector<TSerialPortInfo>& ports);

// The port's DeviceName for a name or path typed by the user: the pattern's "%" doubled, so that
// the name is used as it stands.
std::string DeviceNamePattern(std::string_view name);

} // namespace LineChoices
