#pragma once

#include <utility>

namespace SerialPlatform {

// Owns a system's handle and closes it on every way out: the one owner of descriptors and
// handles in the project. `System` names the handle's type, the value that holds none, which
// values are handles, and how one closes.
template <class System> class OwnedHandle {
public:
    using Handle = typename System::Handle;

    explicit OwnedHandle(Handle handle = System::none) : handle_(handle) {}
    ~OwnedHandle() {
        if (Valid()) {
            System::Close(handle_);
        }
    }
    OwnedHandle(OwnedHandle&& other) noexcept
        : handle_(std::exchange(other.handle_, System::none)) {}
    OwnedHandle& operator=(OwnedHandle&& other) noexcept {
        OwnedHandle old(std::exchange(handle_, std::exchange(other.handle_, System::none)));
        return *this;
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;

    Handle Get() const { return handle_; }
    bool Valid() const { return System::IsHandle(handle_); }
    // Hands the handle over; this object no longer closes it.
    Handle Release() { return std::exchange(handle_, System::none); }

private:
    Handle handle_;
};

} // namespace SerialPlatform
