#pragma once

#include "serial/VaCommBuffer.h"
#include "serial/VaCommThread.h"

#include <q4471/framework/Locks.h>
#include <q4471/serial/VaComm.h>
#include <q4471/serial/VaObjects.h>

#include <condition_variable>
#include <cstdint>

// The transmit thread of a port whose writes are queued (DirectWrite false). WriteData copies the
// bytes into the queue and returns; the thread sends everything queued in one write per round,
// drops what the device took, and tells the GUI thread that the queue has drained (line event
// EV_TXEMPTY; without waiting for it to be handled, which would cost two more thread wake-ups per
// drained queue) or that a write failed (EV_ERR, waiting until that has been handled), each only
// when somebody takes it. With the port's handlers on its own threads (htPortThreads) it runs
// those itself.
//
// A write here returns at once with what the device took, so there is no completion signal: the
// wait of a write in progress is the wait for the device to take more, which a stop or a purge
// request ends. A write that the device refuses is told as a write error and tried again once
// the device takes output; a device that has gone is told once, as lost, and never written
// again: its bytes stay queued until a purge or the port's closing.
//
// Which lock guards which member is declared at the members; the order of the locks, and which
// thread runs what, at TVaCustomComm (serial/VaComm.h).
// - The port's write lock guards the queue. The thread sends straight out of the queue's block
//   without it: appends only write behind the size, and only the thread removes bytes or clears
//   them for a purge, between two writes.
// - Writers that found no room sleep on roomChanged_ (on the GUI thread: in CheckSynchronize,
//   which is interrupted) until the thread removes bytes, a purge empties the queue, or the
//   thread is stopped.
// - The signals: DataReadySignal, writers to the thread, set exactly while bytes are queued (and
//   by an append of none); StopSignal, the port to the thread, never cleared; PurgeSignal, the
//   purging caller to the thread; PurgeDoneSignal, the thread's answer to it.
class TVaCommWriteThread : public TVaCommThread {
public:
    // Created suspended for `comm`'s open device, with a queue of Buffers().WriteSize() bytes;
    // raises EVaCommError when its signals cannot be made.
    explicit TVaCommWriteThread(TVaCustomComm* comm);
    // Waits for the thread to end and for the writers still inside WriteData to leave.
    ~TVaCommWriteThread() override;

    // Marks the thread terminated and sets StopSignal; writers waiting for room give up. Returns
    // at once.
    void StopThread() override;

    // A writer's stay with the thread: the thread is not freed while one lasts. Taken while the
    // port's pointer to the thread is held; empty once the thread has been stopped.
    class TWriter {
    public:
        explicit TWriter(TVaCommWriteThread* thread);
        ~TWriter();
        TWriter(const TWriter&) = delete;
        TWriter& operator=(const TWriter&) = delete;

        TVaCommWriteThread* Thread() const { return thread_; }

    private:
        TVaCommWriteThread* thread_;
    };

    // Appends `count` bytes, waiting for room while the queue moves: the time-out,
    // Buffers().WriteTimeout() milliseconds, counts from the last time the thread took bytes
    // out. A call that fits the queue is one append: at once when it fits, also exactly; once
    // waiting, only when at least one byte more than `count` is free, or the queue is empty (a
    // call of the whole capacity would never fit otherwise). A larger call holds the
    // queue and goes in piece by piece as room comes; no other call appends before its last
    // piece, so the bytes of one call are never interleaved with another's. False when the time
    // ran out or the thread was stopped (Stopped): nothing of the call stays queued then, as a
    // larger call's pieces that the device has not taken yet are withdrawn (they are contiguous
    // but for the nested calls below), and `went` tells how many of its bytes the device took;
    // on true it is `count`. A purge drops what is left of a larger call with its queued pieces.
    // A call from a handler run on the GUI thread while that thread waits inside a larger call
    // does not wait for it (which would never end): its bytes go between two pieces.
    // Any thread, inside a TWriter.
    bool WriteData(const void* data, int32_t count, int32_t& went);
    bool Stopped() const;
    // Empties the queue if the thread answers within 2000 ms, between two of its writes;
    // otherwise leaves it as it is. Called with the port's global lock held.
    void PurgeWrite();

    // The bytes queued, or the room left when `free`. Takes the port's write lock: a caller that
    // holds a leaf holds the write lock already.
    int32_t QueuedBytes(bool free) const;

    TVaCustomComm* const Comm;

protected:
    void Serve() override;

private:
    struct TAppend;
    bool TryAppend(TAppend& append, bool exactFit, uint64_t& roomSeen);
    // Under the write lock: the next piece of a call larger than the queue, as much as is free.
    // True once the last piece is in, or once a purge has dropped the call.
    bool AppendPiece(TAppend& append) Q4471_REQUIRES(Comm->writeLock_);
    void Enqueue(const char* data, int32_t count) Q4471_REQUIRES(Comm->writeLock_);
    void ReleaseQueue(const TAppend& append);
    // What a call that failed leaves behind: waits until no write reads the queue, then erases
    // the call's pieces that the device has not taken. Answers how many of its bytes it took.
    int32_t Withdraw(const TAppend& append);
    int32_t EraseUntaken(const TAppend& append) Q4471_REQUIRES(Comm->writeLock_);
    // A write no longer reads the queue.
    void EndSend() Q4471_REQUIRES(Comm->writeLock_) Q4471_EXCLUDES(roomMutex_);
    bool AwaitRoom(uint64_t roomSeen, uint32_t timeLeft) Q4471_EXCLUDES(roomMutex_);
    void RoomChanged() Q4471_EXCLUDES(roomMutex_);

    bool Send();
    void Complete(uint32_t written);
    bool AwaitDevice();
    void Answer(std::size_t woken);
    void AnswerPurge();

    // On the GUI thread.
    void DoTxEmpty();
    void DoWriteError();
    void DoDeviceLost(int code);

    TVaWaitEvent DataReadySignal;
    TVaWaitEvent StopSignal;
    TVaWaitEvent PurgeSignal;
    TVaWaitEvent PurgeDoneSignal;
    TVaCommBuffer buffer_ Q4471_GUARDED_BY(Comm->writeLock_);
    bool purgeRequested_ Q4471_GUARDED_BY(Comm->writeLock_) = false;
    // The purges that emptied the queue.
    uint64_t purges_ Q4471_GUARDED_BY(Comm->writeLock_) = 0;
    // The call larger than the queue that is going in.
    const TAppend* queueHolder_ Q4471_GUARDED_BY(Comm->writeLock_) = nullptr;
    // Bytes ever dropped from the queue's front, sent or purged.
    uint64_t removed_ Q4471_GUARDED_BY(Comm->writeLock_) = 0;
    // Bytes a write is reading from the queue's block right now.
    int32_t sending_ Q4471_GUARDED_BY(Comm->writeLock_) = 0;

    mutable q4471::TMutex roomMutex_ Q4471_ACQUIRED_AFTER(Comm->writeLock_);
    std::condition_variable roomChanged_;
    uint64_t roomChanges_ Q4471_GUARDED_BY(roomMutex_) = 0;
    bool stopped_ Q4471_GUARDED_BY(roomMutex_) = false;
    int writers_ Q4471_GUARDED_BY(roomMutex_) = 0;
    // Writers on the GUI thread that wait in CheckSynchronize.
    int guiWriterWaits_ Q4471_GUARDED_BY(roomMutex_) = 0;
    uint64_t sendsEnded_ Q4471_GUARDED_BY(roomMutex_) = 0;
};
