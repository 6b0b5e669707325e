#include "serial/VaCommWriteThread.h"

#include "serial/VaCommFormat.h"
#include "serial/VaCommHandle.h"
#include "serial/platform/CommPlatform.h"

#include <q4471/framework/Application.h>
#include <q4471/serial/VaComm.h>
#include <q4471/serial/Vautils.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>
#include <vector>

using namespace q4471;
using namespace SerialPlatform;

namespace {

// How long a purging caller waits for the thread's answer.
constexpr int32_t PurgeAnswerTime = 2000;

// A wait for room that failed cannot tell when the device takes more: the retry comes after this
// pause, so that a lasting failure does not spin.
constexpr uint32_t FailedWaitPause = 100;

// What ended one of the thread's waits, by its place in the wait list: a stop, a purge, or what
// the thread waits for (bytes to send in Serve's wait, room on the device in AwaitDevice's).
enum TWoken { woStop, woPurge, woReady };

} // namespace

TVaCommWriteThread::TVaCommWriteThread(TVaCustomComm* comm)
    : TVaCommThread(comm->OwnDeliveries()), Comm(comm), buffer_(comm->Buffers().WriteSize()) {
    for (TVaWaitEvent* signal : {&DataReadySignal, &StopSignal, &PurgeSignal, &PurgeDoneSignal}) {
        // Only a signal that could not be made fails a wait; it answers why.
        if (signal->WaitFor(0) == wrError) {
            const auto code = static_cast<int>(signal->LastError());
            throw CommError(sErrInitBuffers, code);
        }
    }
}

TVaCommWriteThread::~TVaCommWriteThread() {
    StopThread();
    WaitFor();
    TUniqueLock lock(roomMutex_);
    lock.Wait(roomChanged_, [this]() Q4471_REQUIRES(roomMutex_) { return writers_ == 0; });
}

void TVaCommWriteThread::StopThread() {
    // Marked at once, so that no delivery starts once the port has let go of the thread.
    Terminate();
    {
        const TLockGuard lock(roomMutex_);
        stopped_ = true;
        roomChanged_.notify_all();
        if (guiWriterWaits_ > 0) {
            InterruptCheckSynchronize();
        }
    }
    StopSignal.SetEvent();
}

TVaCommWriteThread::TWriter::TWriter(TVaCommWriteThread* thread) : thread_(nullptr) {
    if (thread == nullptr) {
        return;
    }
    const TLockGuard lock(thread->roomMutex_);
    if (!thread->stopped_) {
        ++thread->writers_;
        thread_ = thread;
    }
}

TVaCommWriteThread::TWriter::~TWriter() {
    if (thread_ == nullptr) {
        return;
    }
    // Told under the lock: the destructor that waits for it cannot free the thread before.
    const TLockGuard lock(thread_->roomMutex_);
    if (--thread_->writers_ == 0) {
        thread_->roomChanged_.notify_all();
    }
}

int32_t TVaCommWriteThread::QueuedBytes(bool free) const {
    const TLockGuard lock(Comm->writeLock_);
    return free ? buffer_.Capacity() - buffer_.Size() : buffer_.Size();
}

bool TVaCommWriteThread::Stopped() const {
    const TLockGuard lock(roomMutex_);
    return stopped_;
}

// One call of WriteData: what is left of it, its thread and, for a call larger than the queue,
// whether it holds the queue, the holder it took it over from, and how many purges there had
// been then.
struct TVaCommWriteThread::TAppend {
    const char* data;
    int32_t left;
    std::thread::id thread = std::this_thread::get_id();
    bool holdsQueue = false;
    const TAppend* outerHolder = nullptr;
    uint64_t purgesSeen = 0;
    int32_t queued = 0; // of its bytes, in its pieces
    // Its pieces: where each began, counted in bytes through the queue (removed_ at the front),
    // and its length.
    std::vector<std::pair<uint64_t, int32_t>> pieces = {};
};

bool TVaCommWriteThread::WriteData(const void* data, int32_t count, int32_t& went) {
    TAppend append{static_cast<const char*>(data), count};
    uint64_t roomSeen = 0;
    bool appended = TryAppend(append, true, roomSeen);
    if (!appended) {
        // A slow line is no full queue: the time runs from the last time the thread took bytes
        // out, so a call waits as long as the line moves, and fails only once it stands.
        const int32_t timeout = Comm->Buffers().WriteTimeout();
        TVaTimeEvent timer;
        InitTimer(timer, timeout);
        while (AwaitRoom(roomSeen, TimerRemaining(timer))) {
            const uint64_t before = roomSeen;
            if (TryAppend(append, false, roomSeen)) {
                appended = true;
                break;
            }
            if (roomSeen != before) {
                InitTimer(timer, timeout);
            } else if (TimerExpired(timer)) {
                break;
            }
        }
    }
    went = appended ? count : (append.queued > 0 ? Withdraw(append) : 0);
    ReleaseQueue(append);
    return appended;
}

bool TVaCommWriteThread::TryAppend(TAppend& append, bool exactFit, uint64_t& roomSeen) {
    // The test for room and the append are one step, so that writers at once never overfill.
    const TLockGuard lock(Comm->writeLock_);
    // A call from a handler that the GUI thread runs while it waits inside a larger call of its
    // own cannot wait for that call, which waits beneath it: its bytes go between two pieces.
    const bool queueFree = queueHolder_ == nullptr || queueHolder_->thread == append.thread;
    if (append.holdsQueue || (queueFree && append.left > buffer_.Capacity())) {
        if (AppendPiece(append)) {
            return true;
        }
    } else if (queueFree) {
        // A call of the whole capacity, which never has a byte to spare, waits for an empty queue.
        const int64_t after = int64_t{buffer_.Size()} + append.left;
        if (exactFit ? after <= buffer_.Capacity()
                     : after < buffer_.Capacity() || buffer_.Size() == 0) {
            Enqueue(append.data, append.left);
            return true;
        }
    }
    // Taken under the write lock, so that a removal after the test above still wakes this writer.
    const TLockGuard room(roomMutex_);
    roomSeen = roomChanges_;
    return false;
}

bool TVaCommWriteThread::AppendPiece(TAppend& append) {
    if (!append.holdsQueue) {
        append.holdsQueue = true;
        append.outerHolder = queueHolder_;
        append.purgesSeen = purges_;
        queueHolder_ = &append;
    } else if (purges_ != append.purgesSeen) {
        return true; // a purge dropped the pieces queued so far, and so drops the rest
    }
    const int32_t piece = std::min(append.left, buffer_.Capacity() - buffer_.Size());
    if (piece > 0) {
        const uint64_t start = removed_ + static_cast<uint64_t>(buffer_.Size());
        if (!append.pieces.empty() &&
            append.pieces.back().first + static_cast<uint64_t>(append.pieces.back().second) ==
                start) {
            append.pieces.back().second += piece;
        } else {
            append.pieces.emplace_back(start, piece);
        }
        append.queued += piece;
        Enqueue(append.data, piece);
        append.data += piece;
        append.left -= piece;
    }
    return append.left == 0;
}

void TVaCommWriteThread::Enqueue(const char* data, int32_t count) {
    // The signal is set while bytes are queued: only the first append needs to set it.
    if (buffer_.Size() == 0) {
        DataReadySignal.SetEvent();
    }
    buffer_.Write(data, count);
}

void TVaCommWriteThread::ReleaseQueue(const TAppend& append) {
    if (!append.holdsQueue) {
        return;
    }
    const TLockGuard lock(Comm->writeLock_);
    queueHolder_ = append.outerHolder;
    RoomChanged(); // the writers that waited for the queue go on
}

int32_t TVaCommWriteThread::Withdraw(const TAppend& append) {
    for (;;) {
        uint64_t ended = 0;
        {
            const TLockGuard lock(Comm->writeLock_);
            if (sending_ == 0) {
                return append.queued - EraseUntaken(append);
            }
            const TLockGuard room(roomMutex_);
            ended = sendsEnded_;
        }
        // A write takes what fits and returns: it never waits for the GUI thread meanwhile.
        TUniqueLock room(roomMutex_);
        room.Wait(roomChanged_, [&]() Q4471_REQUIRES(roomMutex_) { return sendsEnded_ != ended; });
    }
}

int32_t TVaCommWriteThread::EraseUntaken(const TAppend& append) {
    // The bytes before `taken` are the device's: sent, or on their way in a write it reports
    // later, which must find them unchanged at the front.
    uint64_t taken = removed_;
    {
        const TVaCommHandle::TUse device(*Comm->handle_);
        if (device.Valid()) {
            taken += Comm->CommSystem().UnreportedWrite(device.Get());
        }
    }
    int32_t erased = 0;
    // From the last piece back, so that erasing one moves none of those still to be erased.
    for (auto piece = append.pieces.rbegin(); piece != append.pieces.rend(); ++piece) {
        const uint64_t end = piece->first + static_cast<uint64_t>(piece->second);
        const uint64_t from = std::max(piece->first, taken);
        if (from < end) {
            buffer_.Erase(static_cast<int32_t>(from - removed_), static_cast<int32_t>(end - from));
            erased += static_cast<int32_t>(end - from);
        }
    }
    if (erased > 0) {
        if (buffer_.Size() == 0) {
            DataReadySignal.ResetEvent();
        }
        RoomChanged();
    }
    return erased;
}

void TVaCommWriteThread::EndSend() {
    // Under the write lock, so that a withdrawal that finds no write running finds none start.
    sending_ = 0;
    const TLockGuard room(roomMutex_);
    ++sendsEnded_;
    roomChanged_.notify_all();
}

bool TVaCommWriteThread::AwaitRoom(uint64_t roomSeen, uint32_t timeLeft) {
    TUniqueLock lock(roomMutex_);
    const auto roomOrStop = [&]() Q4471_REQUIRES(roomMutex_) {
        return stopped_ || roomChanges_ != roomSeen;
    };
    if (!IsMainThread()) {
        lock.WaitFor(roomChanged_, std::chrono::milliseconds(timeLeft), roomOrStop);
        return !stopped_;
    }
    // A writer on the GUI thread: the transmit thread may be waiting for it to report a drained
    // queue, and would make no room before. Such calls run here meanwhile; a change of room ends
    // the wait for them (RoomChanged).
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeLeft);
    ++guiWriterWaits_; // a count: a handler run meanwhile may wait for room too
    for (auto now = std::chrono::steady_clock::now(); !roomOrStop() && now < end;
         now = std::chrono::steady_clock::now()) {
        lock.Unlock();
        CheckSynchronize(
            static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(end - now).count()));
        lock.Lock();
    }
    --guiWriterWaits_;
    return !stopped_;
}

void TVaCommWriteThread::RoomChanged() {
    const TLockGuard lock(roomMutex_);
    ++roomChanges_;
    roomChanged_.notify_all();
    if (guiWriterWaits_ > 0) {
        InterruptCheckSynchronize();
    }
}

void TVaCommWriteThread::PurgeWrite() {
    {
        const TLockGuard lock(Comm->writeLock_);
        purgeRequested_ = true;
        PurgeDoneSignal.ResetEvent();
    }
    PurgeSignal.SetEvent();
    TVaTimeEvent timer;
    InitTimer(timer, PurgeAnswerTime);
    for (;;) {
        const bool answered = PurgeDoneSignal.WaitFor(TimerRemaining(timer)) == wrSignaled;
        const TLockGuard lock(Comm->writeLock_);
        if (!purgeRequested_) {
            return; // the thread has emptied the queue
        }
        if (!answered || TimerExpired(timer)) {
            purgeRequested_ = false; // withdrawn: a late answer leaves the queue as it is
            return;
        }
        // The late answer to an earlier purge that gave up; this one's comes next.
        PurgeDoneSignal.ResetEvent();
    }
}

void TVaCommWriteThread::Serve() {
    // False once the device has gone, or the port is letting go of it: then only a stop or a
    // purge is answered, and the queued bytes stay until the port closes.
    bool sending = true;
    while (!Terminated()) {
        const TVaWaitListResult woken =
            sending ? WaitForEvents({&StopSignal, &PurgeSignal, &DataReadySignal}, VaInfinite)
                    : WaitForEvents({&StopSignal, &PurgeSignal}, VaInfinite);
        if (woken.Result != wrSignaled) {
            return; // only signals that were never made fail, and the constructor refused those
        }
        if (woken.Index == woReady) {
            sending = Send();
        } else {
            Answer(woken.Index);
        }
    }
}

void TVaCommWriteThread::Answer(std::size_t woken) {
    if (woken == woStop) {
        Terminate();
    } else {
        AnswerPurge();
    }
}

bool TVaCommWriteThread::Send() {
    int32_t size = 0;
    const char* data = nullptr;
    {
        const TLockGuard lock(Comm->writeLock_);
        size = buffer_.Size();
        data = buffer_.DataPtr();
        sending_ = size;
    }
    uint32_t written = 0;
    bool wrote = false;
    int failure = 0;
    {
        const TVaCommHandle::TUse device(*Comm->handle_);
        if (!device.Valid()) {
            const TLockGuard lock(Comm->writeLock_);
            EndSend();
            return false; // the port is closing; its stop request comes next
        }
        // Takes what fits now; the wait for room comes below, where a stop or a purge ends it.
        wrote = Comm->CommSystem().WriteFile(device.Get(), data, static_cast<uint32_t>(size), 0,
                                             TSignalHandle(), written);
        failure = wrote ? 0 : GetLastError();
    }
    if (!wrote) {
        const TLockGuard lock(Comm->writeLock_);
        EndSend();
    }
    if (wrote) {
        Complete(written);
        // An OnTxEmpty run on this thread may have closed or destroyed the port.
        return Terminated() || written == static_cast<uint32_t>(size) || AwaitDevice();
    }
    if (DeviceHasGone(failure)) {
        // Every later write would fail alike: told once, and not tried again.
        Deliver([this, failure] { DoDeviceLost(failure); });
        return false;
    }
    // The bytes stay queued and DataReadySignal set, so the next round tries them again; only
    // once the device takes output, so that a failure that lasts does not spin. Told only to
    // somebody who takes it: a program without a GUI loop would hold this thread here for good.
    if (Comm->TakesEvents(EV_ERR, false)) {
        Deliver([this] { DoWriteError(); });
    }
    return Terminated() || AwaitDevice();
}

void TVaCommWriteThread::Complete(uint32_t written) {
    bool drained = false;
    {
        const TLockGuard lock(Comm->writeLock_);
        buffer_.Remove(static_cast<int32_t>(written));
        removed_ += written;
        Comm->bytesToDriver_ += written;
        EndSend();
        drained = buffer_.Size() == 0;
        // Under the lock that appends take, so that an append in between keeps its signal.
        if (drained) {
            DataReadySignal.ResetEvent();
        } else {
            DataReadySignal.SetEvent();
        }
        if (written > 0) {
            RoomChanged();
        }
    }
    if (drained && Comm->TakesEvents(EV_TXEMPTY, false)) {
        Post([this] { DoTxEmpty(); });
    }
}

bool TVaCommWriteThread::AwaitDevice() {
    int woken = 0;
    {
        const TVaCommHandle::TUse device(*Comm->handle_);
        if (!device.Valid()) {
            return false;
        }
        const TSignalHandle wakers[] = {StopSignal.Handle(), PurgeSignal.Handle()};
        // Room, or a hang-up that the next write tells, answers woReady.
        woken = Comm->CommSystem().WaitWriteRoom(device.Get(), wakers);
    }
    if (woken < 0) {
        const TVaWaitListResult paused =
            WaitForEvents({&StopSignal, &PurgeSignal}, FailedWaitPause);
        woken = paused.Result == wrSignaled ? static_cast<int>(paused.Index) : woReady;
    }
    if (woken != woReady) {
        Answer(static_cast<std::size_t>(woken));
    }
    return true;
}

void TVaCommWriteThread::AnswerPurge() {
    PurgeSignal.ResetEvent();
    {
        // Between two writes, so that no write reads bytes that the purge drops or that later
        // appends overwrite; and only for a caller that still waits, so that a late answer never
        // drops bytes queued after that caller gave up.
        const TLockGuard lock(Comm->writeLock_);
        if (std::exchange(purgeRequested_, false)) {
            removed_ += static_cast<uint64_t>(buffer_.Size());
            buffer_.Clear();
            ++purges_;
            DataReadySignal.ResetEvent();
            RoomChanged();
        }
    }
    PurgeDoneSignal.SetEvent();
}

void TVaCommWriteThread::DoTxEmpty() {
    try {
        Comm->HandleLineEvent(EV_TXEMPTY);
    } catch (...) {
        Application::HandleException();
    }
}

void TVaCommWriteThread::DoWriteError() {
    try {
        Comm->HandleLineEvent(EV_ERR);
    } catch (...) {
        Application::HandleException();
    }
}

void TVaCommWriteThread::DoDeviceLost(int code) {
    try {
        Comm->HandleLineEvent(EV_ERR);
    } catch (const EVaCommError&) {
        // Reading the line's errors fails on a vanished device too; the loss below tells it.
    } catch (...) {
        Application::HandleException();
    }
    if (!Terminated()) { // a handler above may have closed or destroyed the port
        Comm->DeviceLost(code);
    }
}
