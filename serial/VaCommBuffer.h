#pragma once

#include <cstdint>
#include <memory>

// The transmit queue: a linear byte queue over one block that is allocated once, at its full
// capacity, and never moves or grows, so that appending and sending never allocate. The held
// bytes are always the first Size() bytes of the block, oldest first; sending takes them straight
// from DataPtr() and removes what went out by moving the rest to the front.
//
// It checks nothing: the caller keeps count <= Size() for Peek, Read and Remove, and
// Size() + count <= Capacity() for Write. It has no lock of its own; its owner says which lock
// guards it.
class TVaCommBuffer {
public:
    // A negative capacity counts as none.
    explicit TVaCommBuffer(int32_t capacity);
    TVaCommBuffer(const TVaCommBuffer&) = delete;
    TVaCommBuffer& operator=(const TVaCommBuffer&) = delete;

    int32_t Capacity() const { return capacity_; }
    int32_t Size() const { return size_; }
    // The oldest held byte.
    const char* DataPtr() const { return storage_.get(); }

    void Clear() { size_ = 0; }
    // Appends `count` bytes behind the held ones.
    void Write(const void* data, int32_t count);
    // Copies the first `count` bytes out; the queue is unchanged.
    void Peek(void* data, int32_t count) const;
    // Peek, then Remove of the same count.
    void Read(void* data, int32_t count);
    // Drops the first `count` bytes.
    void Remove(int32_t count) { Erase(0, count); }
    // Drops the `count` bytes from `offset` on; the bytes behind them move up.
    void Erase(int32_t offset, int32_t count);

private:
    int32_t capacity_;
    std::unique_ptr<char[]> storage_;
    int32_t size_ = 0;
};
