#include "serial/VaCommBuffer.h"

#include <algorithm>
#include <cstring>

// Uninitialised: the queue only ever hands out bytes that were written into it.
TVaCommBuffer::TVaCommBuffer(int32_t capacity)
    : capacity_(std::max(capacity, 0)),
      storage_(std::make_unique_for_overwrite<char[]>(static_cast<std::size_t>(capacity_))) {}

void TVaCommBuffer::Write(const void* data, int32_t count) {
    if (count > 0) {
        std::memcpy(storage_.get() + size_, data, static_cast<std::size_t>(count));
        size_ += count;
    }
}

void TVaCommBuffer::Peek(void* data, int32_t count) const {
    if (count > 0) {
        std::memcpy(data, storage_.get(), static_cast<std::size_t>(count));
    }
}

void TVaCommBuffer::Read(void* data, int32_t count) {
    Peek(data, count);
    Remove(count);
}

void TVaCommBuffer::Erase(int32_t offset, int32_t count) {
    if (count <= 0) {
        return;
    }
    // The rest may overlap the bytes it replaces.
    std::memmove(storage_.get() + offset, storage_.get() + offset + count,
                 static_cast<std::size_t>(size_ - offset - count));
    size_ -= count;
}
