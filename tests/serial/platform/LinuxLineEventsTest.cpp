// The pure functions beneath the line-event waiter: the differences of the driver's interrupt
// counters (TIOCGICOUNT) and of its modem lines (TIOCMGET) as line events (EV_*) and line-error
// flags (CE_*).

#include "serial/platform/LinuxLineCounters.h"

#include <q4471/serial/CommCodes.h>

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <sys/ioctl.h>

using namespace SerialPlatform;

TEST(EventWaiterBits, CounterAndLineDifferencesGiveEventsAndErrorFlags) {
    using Change = std::function<void(serial_icounter_struct&)>;
    const Change none = [](serial_icounter_struct&) {};
    struct Row {
        std::string name;
        Change counters; // how the counters grow from the first reading to the second
        int linesBefore;
        int linesAfter;
        uint32_t events;
        uint32_t errors;
    };
    const Row table[] = {
        {"nothing changed", none, TIOCM_CTS | TIOCM_CD, TIOCM_CTS | TIOCM_CD, 0, 0},
        {"frame error", [](auto& c) { ++c.frame; }, 0, 0, EV_ERR, CE_FRAME},
        {"overrun", [](auto& c) { c.overrun += 3; }, 0, 0, EV_ERR, CE_OVERRUN},
        {"parity error", [](auto& c) { ++c.parity; }, 0, 0, EV_ERR, CE_RXPARITY},
        {"input buffer overrun", [](auto& c) { ++c.buf_overrun; }, 0, 0, EV_ERR, CE_RXOVER},
        {"break: its own event, not a line error", [](auto& c) { ++c.brk; }, 0, 0, EV_BREAK,
         CE_BREAK},
        {"break with a frame error", [](auto& c) { ++c.brk, ++c.frame; }, 0, 0, EV_BREAK | EV_ERR,
         CE_BREAK | CE_FRAME},
        {"every error at once",
         [](auto& c) { ++c.frame, ++c.overrun, ++c.parity, ++c.buf_overrun; }, 0, 0, EV_ERR,
         CE_FRAME | CE_OVERRUN | CE_RXPARITY | CE_RXOVER},
        {"CTS counted (a pulse: the line looks the same)", [](auto& c) { c.cts += 2; }, 0, 0,
         EV_CTS, 0},
        {"DSR counted", [](auto& c) { ++c.dsr; }, 0, 0, EV_DSR, 0},
        {"carrier counted", [](auto& c) { ++c.dcd; }, 0, 0, EV_RLSD, 0},
        {"ring counted", [](auto& c) { ++c.rng; }, 0, 0, EV_RING, 0},
        {"received and sent bytes are no events", [](auto& c) { c.rx += 10, c.tx += 5; }, 0, 0, 0,
         0},
        {"counter wrapped around", [](auto& c) { c.frame = -1; }, 0, 0, EV_ERR, CE_FRAME},
        {"CTS rises", none, 0, TIOCM_CTS, EV_CTS, 0},
        {"CTS falls", none, TIOCM_CTS, 0, EV_CTS, 0},
        {"DSR rises", none, 0, TIOCM_DSR, EV_DSR, 0},
        {"carrier falls", none, TIOCM_CD | TIOCM_DSR, TIOCM_DSR, EV_RLSD, 0},
        {"ring rises", none, 0, TIOCM_RNG, EV_RING, 0},
        {"all four input lines", none, 0, TIOCM_CTS | TIOCM_DSR | TIOCM_CD | TIOCM_RNG,
         EV_CTS | EV_DSR | EV_RLSD | EV_RING, 0},
        {"output lines are not watched", none, TIOCM_DTR, TIOCM_RTS, 0, 0},
        {"line change and counter together", [](auto& c) { ++c.overrun; }, TIOCM_DSR, 0,
         EV_DSR | EV_ERR, CE_OVERRUN},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.name);
        serial_icounter_struct before{};
        before.cts = 7, before.dsr = 3, before.rng = 1, before.dcd = 2, before.rx = 100;
        before.frame = 4, before.brk = 1;
        serial_icounter_struct after = before;
        row.counters(after);
        EXPECT_EQ(EventsBetween(before, after) | LineEventsBetween(row.linesBefore, row.linesAfter),
                  row.events);
        EXPECT_EQ(ErrorsBetween(before, after), row.errors);
        // The other way round gives the same: a difference is a change, whichever way it goes.
        EXPECT_EQ(LineEventsBetween(row.linesAfter, row.linesBefore) | EventsBetween(after, before),
                  row.events);
    }
}

TEST(EventWaiterBits, TheMaskNamesTheInputLinesToWatch) {
    EXPECT_EQ(InputLinesOf(0), 0);
    EXPECT_EQ(InputLinesOf(EV_RXCHAR | EV_ERR | EV_BREAK | EV_TXEMPTY), 0);
    EXPECT_EQ(InputLinesOf(EV_CTS), TIOCM_CTS);
    EXPECT_EQ(InputLinesOf(EV_DSR | EV_RING), TIOCM_DSR | TIOCM_RNG);
    EXPECT_EQ(InputLinesOf(EV_RLSD | EV_RXCHAR), TIOCM_CD);
    EXPECT_EQ(InputLinesOf(0x1FFF), TIOCM_CTS | TIOCM_DSR | TIOCM_CD | TIOCM_RNG);
}
