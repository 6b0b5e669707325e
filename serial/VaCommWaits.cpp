// Request and answer without events: waiting with a deadline until the output has left, and
// reads that wait for a count or an end character.

#include "serial/VaCommHandle.h"
#include "serial/VaCommWriteThread.h"
#include "serial/platform/CommPlatform.h"

#include <q4471/serial/VaComm.h>
#include <q4471/serial/Vautils.h>

#include <algorithm>

using namespace q4471;
using namespace SerialPlatform;

namespace {

// How often the driver's output queue is looked at: neither system can wait for it to empty
// with a deadline (tcdrain and FlushFileBuffers wait without one).
constexpr uint32_t OutputLook = 5;

} // namespace

TVaTransfer TVaCustomComm::WaitWritten(int32_t timeoutMs) {
    TVaTransfer result;
    const uint32_t closings = closings_->load();
    // The queue and the count of bytes given to the driver, read as one under the write lock
    // that moves bytes between them, then the driver's queue: what went is what has left the
    // driver since, and the same reading of the driver serves both ends of the sum.
    const auto look = [this](int64_t& queued, uint64_t& given) {
        {
            const TLockGuard lock(writeLock_);
            queued = QueuedBytes(false);
            given = bytesToDriver_.load();
        }
        return int64_t{GetCommStatus().Status.cbOutQue};
    };
    if (!TVaCommHandle::TUse(*handle_).Valid()) {
        return result; // closed, or closing: what was queued is dropped, not sent
    }
    int64_t queued = 0;
    uint64_t givenAtStart = 0;
    const int64_t inDriverAtStart = look(queued, givenAtStart);
    const int64_t waiting = queued + inDriverAtStart;
    TVaTimeEvent timer;
    InitTimer(timer, timeoutMs);
    for (;;) {
        uint64_t given = 0;
        const int64_t inDriver = look(queued, given);
        if (closings_->load() != closings) {
            break; // closed meanwhile: the queue's rest was dropped
        }
        const int64_t went =
            inDriverAtStart + static_cast<int64_t>(given - givenAtStart) - inDriver;
        result.Count = static_cast<int32_t>(std::clamp<int64_t>(went, 0, waiting));
        if (went >= waiting) {
            result.Complete = true;
            break;
        }
        if (TimerExpired(timer)) {
            break;
        }
        // Close sets the signal, so a closing port does not wait out the pause.
        completionEvent_.WaitFor(std::min(OutputLook, TimerRemaining(timer)));
    }
    return result;
}

TVaTransfer TVaCustomComm::ReadWait(void* buffer, int32_t count, int32_t timeoutMs) {
    return ReadWaiting(static_cast<char*>(buffer), count, -1, timeoutMs);
}

TVaTransfer TVaCustomComm::ReadUntil(void* buffer, int32_t count, char endChar, int32_t timeoutMs) {
    return ReadWaiting(static_cast<char*>(buffer), count, static_cast<unsigned char>(endChar),
                       timeoutMs);
}

std::string TVaCustomComm::ReadTextUntil(char endChar, int32_t maxCount, int32_t timeoutMs) {
    std::string text(static_cast<std::size_t>(std::max(maxCount, 0)), '\0');
    text.resize(static_cast<std::size_t>(
        ReadUntil(text.data(), static_cast<int32_t>(text.size()), endChar, timeoutMs).Count));
    return text;
}

TVaTransfer TVaCustomComm::ReadWaiting(char* buffer, int32_t count, int endChar,
                                       int32_t timeoutMs) {
    TVaTransfer result;
    TVaTimeEvent timer;
    InitTimer(timer, timeoutMs);
    while (result.Count < count) {
        // Up to an end character one byte at a time: a byte behind it is the next answer's.
        const int32_t got = ReadBuf(buffer + result.Count, endChar < 0 ? count - result.Count : 1);
        if (got > 0) {
            result.Count += got;
            if (endChar >= 0 && static_cast<unsigned char>(buffer[result.Count - 1]) == endChar) {
                result.Complete = true;
                return result;
            }
        } else if (TimerExpired(timer) || !AwaitInput(TimerRemaining(timer))) {
            return result;
        }
    }
    result.Complete = endChar < 0;
    return result;
}

bool TVaCustomComm::AwaitInput(uint32_t timeoutMs) {
    const TVaCommHandle::TUse device(*handle_);
    if (!device.Valid()) {
        return false;
    }
    // Close sets the completion signal before it waits for the handle's borrowers.
    if (system_->WaitInput(device.Get(), timeoutMs, completionEvent_.Handle()) < 0) {
        Error(sErrRead);
    }
    return true;
}
