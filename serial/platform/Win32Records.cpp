#include "serial/platform/Win32Records.h"

#include <windows.h>

namespace SerialPlatform {

namespace {

// COMSTAT's bit fields in their order, as the bits of COMSTAT::Flags.
constexpr uint32_t DsrHold = 0x02;
constexpr uint32_t RlsdHold = 0x04;
constexpr uint32_t XoffSent = 0x10;
constexpr uint32_t Eof = 0x20;
constexpr uint32_t Txim = 0x40;

} // namespace

void ToWindowsDCB(const DCB& dcb, _DCB& win) {
    win.DCBlength = sizeof(::DCB);
    win.BaudRate = dcb.BaudRate;
    win.fBinary = dcb.fBinary;
    win.fParity = dcb.fParity;
    win.fOutxCtsFlow = dcb.fOutxCtsFlow;
    win.fOutxDsrFlow = dcb.fOutxDsrFlow;
    win.fDtrControl = dcb.fDtrControl & 0x3u;
    win.fDsrSensitivity = dcb.fDsrSensitivity;
    win.fTXContinueOnXoff = dcb.fTXContinueOnXoff;
    win.fOutX = dcb.fOutX;
    win.fInX = dcb.fInX;
    win.fErrorChar = dcb.fErrorChar;
    win.fNull = dcb.fNull;
    win.fRtsControl = dcb.fRtsControl & 0x3u;
    win.fAbortOnError = dcb.fAbortOnError;
    win.XonLim = dcb.XonLim;
    win.XoffLim = dcb.XoffLim;
    win.ByteSize = dcb.ByteSize;
    win.Parity = dcb.Parity;
    win.StopBits = dcb.StopBits;
    win.XonChar = dcb.XonChar;
    win.XoffChar = dcb.XoffChar;
    win.ErrorChar = dcb.ErrorChar;
    win.EofChar = dcb.EofChar;
    win.EvtChar = dcb.EvtChar;
}

DCB FromWindowsDCB(const _DCB& win) {
    DCB dcb;
    dcb.BaudRate = win.BaudRate;
    dcb.fBinary = win.fBinary != 0;
    dcb.fParity = win.fParity != 0;
    dcb.fOutxCtsFlow = win.fOutxCtsFlow != 0;
    dcb.fOutxDsrFlow = win.fOutxDsrFlow != 0;
    dcb.fDtrControl = static_cast<uint8_t>(win.fDtrControl);
    dcb.fDsrSensitivity = win.fDsrSensitivity != 0;
    dcb.fTXContinueOnXoff = win.fTXContinueOnXoff != 0;
    dcb.fOutX = win.fOutX != 0;
    dcb.fInX = win.fInX != 0;
    dcb.fErrorChar = win.fErrorChar != 0;
    dcb.fNull = win.fNull != 0;
    dcb.fRtsControl = static_cast<uint8_t>(win.fRtsControl);
    dcb.fAbortOnError = win.fAbortOnError != 0;
    dcb.XonLim = win.XonLim;
    dcb.XoffLim = win.XoffLim;
    dcb.ByteSize = win.ByteSize;
    dcb.Parity = win.Parity;
    dcb.StopBits = win.StopBits;
    dcb.XonChar = win.XonChar;
    dcb.XoffChar = win.XoffChar;
    dcb.ErrorChar = win.ErrorChar;
    dcb.EofChar = win.EofChar;
    dcb.EvtChar = win.EvtChar;
    return dcb;
}

void ToWindowsTimeouts(const COMMTIMEOUTS& timeouts, _COMMTIMEOUTS& win) {
    win.ReadIntervalTimeout = timeouts.ReadIntervalTimeout;
    win.ReadTotalTimeoutMultiplier = timeouts.ReadTotalTimeoutMultiplier;
    win.ReadTotalTimeoutConstant = timeouts.ReadTotalTimeoutConstant;
    win.WriteTotalTimeoutMultiplier = timeouts.WriteTotalTimeoutMultiplier;
    win.WriteTotalTimeoutConstant = timeouts.WriteTotalTimeoutConstant;
}

COMSTAT FromWindowsComStat(const _COMSTAT& win) {
    COMSTAT stat;
    stat.Flags = (win.fCtsHold != 0 ? COMSTAT_CTS_HOLD : 0) | (win.fDsrHold != 0 ? DsrHold : 0) |
                 (win.fRlsdHold != 0 ? RlsdHold : 0) |
                 (win.fXoffHold != 0 ? COMSTAT_XOFF_HOLD : 0) |
                 (win.fXoffSent != 0 ? XoffSent : 0) | (win.fEof != 0 ? Eof : 0) |
                 (win.fTxim != 0 ? Txim : 0);
    stat.cbInQue = win.cbInQue;
    stat.cbOutQue = win.cbOutQue;
    return stat;
}

COMMPROP FromWindowsCommProp(const _COMMPROP& win) {
    COMMPROP prop;
    prop.wPacketLength = win.wPacketLength;
    prop.wPacketVersion = win.wPacketVersion;
    prop.dwServiceMask = win.dwServiceMask;
    prop.dwReserved1 = win.dwReserved1;
    prop.dwMaxTxQueue = win.dwMaxTxQueue;
    prop.dwMaxRxQueue = win.dwMaxRxQueue;
    prop.dwMaxBaud = win.dwMaxBaud;
    prop.dwProvSubType = win.dwProvSubType;
    prop.dwProvCapabilities = win.dwProvCapabilities;
    prop.dwSettableParams = win.dwSettableParams;
    prop.dwSettableBaud = win.dwSettableBaud;
    prop.wSettableData = win.wSettableData;
    prop.wSettableStopParity = win.wSettableStopParity;
    prop.dwCurrentTxQueue = win.dwCurrentTxQueue;
    prop.dwCurrentRxQueue = win.dwCurrentRxQueue;
    prop.dwProvSpec1 = win.dwProvSpec1;
    prop.dwProvSpec2 = win.dwProvSpec2;
    prop.wcProvChar[0] = win.wcProvChar[0];
    return prop;
}

} // namespace SerialPlatform
