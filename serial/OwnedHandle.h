#pragma once

/// @file
/// OwnedHandle, the owner of a system's descriptors and handles.

#include <utility>

namespace SerialPlatform {

/// Owns a system's handle and closes it on every way out: the one owner of descriptors and
/// handles in the project. Moves, never copies. `System` names the handle's type (`Handle`), the
/// value that holds none (`none`), which values are handles (`IsHandle`), and how one closes
/// (`Close`); DescriptorCalls does so for Linux's file descriptors. One object is not for
/// several threads at once.
template <class System> class OwnedHandle {
public:
    /// The system's handle type.
    using Handle = typename System::Handle;

    /// Takes `handle` over, which may be none or a value that is no handle (a failed open's);
    /// such a value is never closed.
    explicit OwnedHandle(Handle handle = System::none) : handle_(handle) {}
    /// Closes the handle, if it holds one.
    ~OwnedHandle() {
        if (Valid()) {
            System::Close(handle_);
        }
    }
    /// Takes the handle of `other`, which then holds none.
    OwnedHandle(OwnedHandle&& other) noexcept
        : handle_(std::exchange(other.handle_, System::none)) {}
    /// Closes the handle held so far and takes the handle of `other`, which then holds none.
    OwnedHandle& operator=(OwnedHandle&& other) noexcept {
        OwnedHandle old(std::exchange(handle_, std::exchange(other.handle_, System::none)));
        return *this;
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;

    /// The handle, still owned by this object: the caller does not close it.
    Handle Get() const { return handle_; }
    /// Whether a handle is held.
    bool Valid() const { return System::IsHandle(handle_); }
    /// Hands the handle over; this object no longer closes it.
    Handle Release() { return std::exchange(handle_, System::none); }

private:
    Handle handle_;
};

} // namespace SerialPlatform
