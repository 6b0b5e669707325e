#include "serial/platform/LinuxLineSettings.h"

#include "serial/platform/LinuxLineCounters.h"

#include <q4471/serial/CommCodes.h>

#include <cerrno>
#include <gtest/gtest.h>
#include <utility>

using namespace SerialPlatform;

namespace {

DCB Plain(uint32_t rate) {
    DCB dcb{};
    dcb.BaudRate = rate;
    dcb.fBinary = true;
    dcb.ByteSize = 8;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    return dcb;
}

DCB RoundTrip(const DCB& dcb) {
    termios2 tio{};
    EXPECT_TRUE(TermiosFromDCB(dcb, tio));
    DCB back{};
    DCBFromTermios(tio, back);
    return back;
}

} // namespace

TEST(LineSettings, StandardRatesKeepTheirCodesAndOthersGoThroughBother) {
    const std::pair<uint32_t, tcflag_t> cases[] = {
        {50, B50},      {9600, B9600},   {115200, B115200}, {4000000, B4000000},
        {7200, BOTHER}, {14400, BOTHER}, {256000, BOTHER},
    };
    for (const auto& [rate, code] : cases) {
        termios2 tio{};
        ASSERT_TRUE(TermiosFromDCB(Plain(rate), tio));
        EXPECT_EQ(tio.c_cflag & CBAUD, code) << rate;
        EXPECT_EQ(tio.c_cflag & CIBAUD, 0u) << rate; // input at the output rate
        EXPECT_EQ(RoundTrip(Plain(rate)).BaudRate, rate);
    }
}

TEST(LineSettings, FramingAndFlowControlRoundTrip) {
    DCB dcb = Plain(9600);
    dcb.ByteSize = 7;
    dcb.Parity = 3; // mark
    dcb.StopBits = TWOSTOPBITS;
    dcb.fParity = true;
    dcb.fOutxCtsFlow = true;
    dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    dcb.fOutX = true;
    dcb.fInX = true;
    dcb.XonChar = 'Q';
    dcb.XoffChar = 'S';
    const DCB back = RoundTrip(dcb);
    EXPECT_EQ(back.ByteSize, 7);
    EXPECT_EQ(back.Parity, 3);
    EXPECT_EQ(back.StopBits, TWOSTOPBITS);
    EXPECT_TRUE(back.fParity);
    EXPECT_TRUE(back.fOutxCtsFlow);
    EXPECT_EQ(back.fRtsControl, RTS_CONTROL_HANDSHAKE);
    EXPECT_TRUE(back.fOutX);
    EXPECT_TRUE(back.fInX);
    EXPECT_EQ(back.XonChar, 'Q');
    EXPECT_EQ(back.XoffChar, 'S');

    for (uint8_t parity = 0; parity <= 4; ++parity) {
        dcb.Parity = parity;
        EXPECT_EQ(RoundTrip(dcb).Parity, parity);
    }
    // One and a half stop bits are a UART's two stop bits with five data bits.
    dcb.ByteSize = 5;
    dcb.StopBits = ONE5STOPBITS;
    EXPECT_EQ(RoundTrip(dcb).StopBits, ONE5STOPBITS);
}

TEST(LineSettings, TheRecordIsRaw) {
    termios2 tio{};
    tio.c_iflag = ICRNL | IXANY | ISTRIP;
    tio.c_oflag = OPOST | ONLCR;
    tio.c_lflag = ICANON | ECHO | ISIG | IEXTEN;
    ASSERT_TRUE(TermiosFromDCB(Plain(9600), tio));
    EXPECT_EQ(tio.c_iflag & (ICRNL | IXANY | ISTRIP | IXON), 0u);
    EXPECT_EQ(tio.c_oflag, 0u);
    EXPECT_EQ(tio.c_lflag, 0u);
    EXPECT_EQ(tio.c_cc[VTIME], 0);

    // Raw mode alone keeps the line settings.
    termios2 kept{};
    kept.c_cflag = B4800 | CS7 | PARENB | CRTSCTS;
    kept.c_iflag = IXON | ICRNL;
    kept.c_lflag = ICANON | ECHO;
    MakeRaw(kept);
    EXPECT_EQ(kept.c_cflag & (CBAUD | CSIZE | PARENB | CRTSCTS),
              static_cast<tcflag_t>(B4800 | CS7 | PARENB | CRTSCTS));
    EXPECT_EQ(kept.c_iflag, static_cast<tcflag_t>(IXON));
    EXPECT_EQ(kept.c_lflag, 0u);
}

TEST(LineSettings, SettingsLinuxLacksAreRefused) {
    const auto refused = [](auto change) {
        DCB dcb = Plain(9600);
        change(dcb);
        termios2 tio{};
        SetLastError(0);
        return !TermiosFromDCB(dcb, tio) && GetLastError() == EINVAL;
    };
    EXPECT_TRUE(refused([](DCB& d) { d.BaudRate = 0; }));
    EXPECT_TRUE(refused([](DCB& d) { d.ByteSize = 4; }));
    EXPECT_TRUE(refused([](DCB& d) { d.StopBits = ONE5STOPBITS; }));
    EXPECT_TRUE(refused([](DCB& d) {
        d.ByteSize = 5;
        d.StopBits = TWOSTOPBITS;
    }));
    EXPECT_TRUE(refused([](DCB& d) { d.fOutxDsrFlow = true; }));
    EXPECT_TRUE(refused([](DCB& d) { d.fDsrSensitivity = true; }));
    EXPECT_TRUE(refused([](DCB& d) { d.fDtrControl = DTR_CONTROL_HANDSHAKE; }));
    EXPECT_TRUE(refused([](DCB& d) { d.fRtsControl = RTS_CONTROL_TOGGLE; }));
    EXPECT_FALSE(refused([](DCB& d) { d.fTXContinueOnXoff = true; }));
}

TEST(LineCounters, GrownCountersGiveErrorsAndEvents) {
    serial_icounter_struct before{};
    serial_icounter_struct after{};
    EXPECT_EQ(ErrorsBetween(before, after), 0u);
    EXPECT_EQ(EventsBetween(before, after), 0u);

    after.frame = 1;
    after.brk = 2;
    EXPECT_EQ(ErrorsBetween(before, after), CE_FRAME | CE_BREAK);
    EXPECT_EQ(EventsBetween(before, after), EV_ERR | EV_BREAK);

    after = before;
    after.overrun = 1;
    after.parity = 1;
    after.buf_overrun = 1;
    EXPECT_EQ(ErrorsBetween(before, after), CE_OVERRUN | CE_RXPARITY | CE_RXOVER);

    after = before;
    after.cts = 1;
    after.dsr = 1;
    after.dcd = 1;
    after.rng = 1;
    after.rx = 100; // received bytes are not a line event here
    EXPECT_EQ(EventsBetween(before, after), EV_CTS | EV_DSR | EV_RLSD | EV_RING);
}
