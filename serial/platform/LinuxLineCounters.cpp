#include "serial/platform/LinuxLineCounters.h"

#include <q4471/serial/CommCodes.h>
#include <q4471/serial/SystemErrors.h>

#include <cerrno>
#include <sys/ioctl.h>

namespace SerialPlatform {

bool ReadCounters(int fd, serial_icounter_struct& counters) {
    if (ioctl(fd, TIOCGICOUNT, &counters) != 0) {
        SetLastError(errno);
        return false;
    }
    return true;
}

uint32_t ErrorsBetween(const serial_icounter_struct& before, const serial_icounter_struct& after) {
    uint32_t errors = 0;
    if (after.buf_overrun != before.buf_overrun) {
        errors |= CE_RXOVER;
    }
    if (after.overrun != before.overrun) {
        errors |= CE_OVERRUN;
    }
    if (after.parity != before.parity) {
        errors |= CE_RXPARITY;
    }
    if (after.frame != before.frame) {
        errors |= CE_FRAME;
    }
    if (after.brk != before.brk) {
        errors |= CE_BREAK;
    }
    return errors;
}

uint32_t EventsBetween(const serial_icounter_struct& before, const serial_icounter_struct& after) {
    uint32_t events = 0;
    if ((ErrorsBetween(before, after) & ~CE_BREAK) != 0) {
        events |= EV_ERR;
    }
    if (after.brk != before.brk) {
        events |= EV_BREAK;
    }
    if (after.cts != before.cts) {
        events |= EV_CTS;
    }
    if (after.dsr != before.dsr) {
        events |= EV_DSR;
    }
    if (after.dcd != before.dcd) {
        events |= EV_RLSD;
    }
    if (after.rng != before.rng) {
        events |= EV_RING;
    }
    return events;
}

namespace {

struct LineEvent {
    int line;
    uint32_t event;
};

constexpr LineEvent LineEvents[] = {
    {TIOCM_CTS, EV_CTS},
    {TIOCM_DSR, EV_DSR},
    {TIOCM_CD, EV_RLSD},
    {TIOCM_RNG, EV_RING},
};

} // namespace

int InputLinesOf(uint32_t evtMask) {
    int lines = 0;
    for (const LineEvent& entry : LineEvents) {
        if ((evtMask & entry.event) != 0) {
            lines |= entry.line;
        }
    }
    return lines;
}

uint32_t LineEventsBetween(int before, int after) {
    uint32_t events = 0;
    for (const LineEvent& entry : LineEvents) {
        if (((before ^ after) & entry.line) != 0) {
            events |= entry.event;
        }
    }
    return events;
}

} // namespace SerialPlatform
