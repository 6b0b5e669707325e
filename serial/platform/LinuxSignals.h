#pragma once

// The signals on Linux: an eventfd each, so that poll and epoll can watch them beside a device.

#include "serial/platform/Signals.h"

namespace SerialPlatform {

// The eventfd of a signal, readable exactly while it is set; -1 for none.
inline int DescriptorOf(TSignalHandle signal) {
    return static_cast<int>(signal.Native);
}

} // namespace SerialPlatform
