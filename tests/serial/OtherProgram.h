#pragma once

// Another program on a serial device, as terminal programs (picocom, minicom, stty) take it: its
// own descriptor, opened without asking for exclusive use, and the locks they use.

#include <q4471/serial/LinuxFileDescriptor.h>

#include <string>

class OtherProgram {
public:
    explicit OtherProgram(const std::string& path);
    ~OtherProgram();
    OtherProgram(const OtherProgram&) = delete;
    OtherProgram& operator=(const OtherProgram&) = delete;

    bool Opened() const { return fd_.Valid(); }
    // The advisory lock of terminal programs: flock(LOCK_EX | LOCK_NB). False when another
    // holds it.
    bool TakeLock();
    // Sets the exclusive flag (TIOCEXCL); cleared again when this program ends.
    bool SetExclusive();
    // Whether the device's exclusive flag is set (TIOCGEXCL), whoever set it.
    bool ExclusiveFlag() const;
    // The output rate as tcgetattr reads it, in bits per second; 0 when it has no standard code.
    unsigned StandardRate() const;

private:
    SerialPlatform::FileDescriptor fd_;
    bool setExclusive_ = false;
};
