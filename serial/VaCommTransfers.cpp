// Moving bytes: direct reads and writes, their text and character forms, queue occupancy and
// purging.

#include "serial/VaCommFormat.h"
#include "serial/VaCommHandle.h"
#include "serial/VaCommWriteThread.h"
#include "serial/platform/CommPlatform.h"

#include <q4471/serial/VaComm.h>

#include <algorithm>

using namespace q4471;
using namespace SerialPlatform;

int32_t TVaCustomComm::WriteBuf(const void* buffer, int32_t count) {
    if (!Active() || count < 0) {
        return 0;
    }
    return directWrite_ ? DirectWriteBuf(buffer, count) : QueuedWriteBuf(buffer, count);
}

int32_t TVaCustomComm::QueuedWriteBuf(const void* buffer, int32_t count) {
    const TVaCommWriteThread::TWriter writer = [this] {
        const TLockGuard lock(writeThreadMutex_);
        return TVaCommWriteThread::TWriter(writeThread_);
    }();
    if (writer.Thread() == nullptr) {
        return 0; // closed, or being closed
    }
    int32_t went = 0;
    if (writer.Thread()->WriteData(buffer, count, went)) {
        return count;
    }
    if (writer.Thread()->Stopped()) {
        return 0; // closed while waiting for room
    }
    throw CommRefusal(sErrOutputFull).WithTransferred(went);
}

int32_t TVaCustomComm::DirectWriteBuf(const void* buffer, int32_t count) {
    const TLockGuard lock(writeLock_);
    const TVaCommHandle::TUse device(*handle_);
    if (!device.Valid()) {
        return 0; // closed while this call waited for the lock
    }
    uint32_t written = 0;
    // The write is finished or given up when this returns: the buffer is the caller's again.
    if (!system_->WriteFile(device.Get(), buffer, static_cast<uint32_t>(count),
                            static_cast<uint32_t>(buffers_->ReadTimeout()),
                            completionEvent_.Handle(), written)) {
        Error(sErrWrite);
    }
    bytesToDriver_ += written;
    // A write that did not complete within the time answers 0, whatever part of it went out.
    return written == static_cast<uint32_t>(count) ? count : 0;
}

int32_t TVaCustomComm::ReadBuf(void* buffer, int32_t count) {
    if (!Active() || count <= 0) {
        return 0;
    }
    const TLockGuard lock(globalLock_);
    const TVaCommHandle::TUse device(*handle_);
    if (!device.Valid()) {
        return 0;
    }
    uint32_t read = 0;
    if (!system_->ReadFile(device.Get(), buffer, static_cast<uint32_t>(count), read)) {
        Error(sErrRead);
    }
    return static_cast<int32_t>(read);
}

bool TVaCustomComm::WriteText(const std::string& text) {
    const auto length = static_cast<int32_t>(text.size());
    return WriteBuf(text.data(), length) == length;
}

bool TVaCustomComm::WriteChar(char ch) {
    return WriteBuf(&ch, 1) == 1;
}

std::string TVaCustomComm::ReadText() {
    // Under one hold of the lock, so that no other reader takes bytes from the middle.
    const TLockGuard lock(globalLock_);
    const int32_t counted = ReadBufUsed();
    if (counted <= 0) {
        return {};
    }
    std::string text(static_cast<std::size_t>(counted), '\0');
    const int32_t read = ReadBuf(text.data(), counted);
    text.resize(static_cast<std::size_t>(read));
    // A driver whose count stops at a limit holds more behind it. Those bytes were waiting too,
    // so reading goes on while reads bring bytes, but never past what can have been waiting: a
    // peer that keeps sending must not hold this call and the lock.
    const std::size_t most =
        static_cast<std::size_t>(counted) + system_->UncountedInput(static_cast<uint32_t>(counted));
    constexpr std::size_t Chunk = 4096;
    bool more = read == counted;
    while (more && text.size() < most) {
        const std::size_t start = text.size();
        text.resize(start + std::min(Chunk, most - start));
        const int32_t got = ReadBuf(text.data() + start, static_cast<int32_t>(text.size() - start));
        text.resize(start + static_cast<std::size_t>(got));
        more = got > 0;
    }
    return text;
}

bool TVaCustomComm::ReadChar(char& ch) {
    char received = 0;
    if (ReadBuf(&received, 1) != 1) {
        return false;
    }
    ch = received;
    return true;
}

int32_t TVaCustomComm::ReadBufUsed() {
    return Active() ? static_cast<int32_t>(InputWaiting()) : 0;
}

int32_t TVaCustomComm::ReadBufFree() {
    return Active() ? buffers_->ReadSize() - static_cast<int32_t>(InputWaiting()) : 0;
}

int32_t TVaCustomComm::WriteBufUsed() {
    if (!Active()) {
        return 0;
    }
    if (!directWrite_) {
        return QueuedBytes(false);
    }
    return static_cast<int32_t>(GetCommStatus().Status.cbOutQue);
}

int32_t TVaCustomComm::WriteBufFree() {
    if (!Active()) {
        return 0;
    }
    if (!directWrite_) {
        return QueuedBytes(true);
    }
    return buffers_->WriteSize() - static_cast<int32_t>(GetCommStatus().Status.cbOutQue);
}

int32_t TVaCustomComm::QueuedBytes(bool free) {
    // The write lock before the leaf, as the lock order wants: the thread's count takes it again.
    const TLockGuard lock(writeLock_);
    const TLockGuard slot(writeThreadMutex_);
    return writeThread_ == nullptr ? 0 : writeThread_->QueuedBytes(free);
}

void TVaCustomComm::PurgeRead() {
    PurgeBuffers(PURGE_RXABORT | PURGE_RXCLEAR);
}

void TVaCustomComm::PurgeWrite() {
    PurgeBuffers(PURGE_TXABORT | PURGE_TXCLEAR);
}

void TVaCustomComm::PurgeReadWrite() {
    PurgeBuffers(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
}

void TVaCustomComm::PurgeBuffers(uint32_t flags) {
    if (!Active()) {
        return;
    }
    const TLockGuard lock(globalLock_);
    // Every purge but PurgeRead's empties the transmit queue first.
    TVaCommWriteThread* const writeThread = WriteThreadHeldGlobally();
    if (flags != (PURGE_RXABORT | PURGE_RXCLEAR) && writeThread != nullptr) {
        writeThread->PurgeWrite();
    }
    const TVaCommHandle::TUse device(*handle_);
    if (device.Valid()) {
        Watch(system_->PurgeComm(device.Get(), flags), sErrClearBuffers);
    }
}
