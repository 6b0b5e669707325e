#pragma once

#include <q4471/serial/LinuxFileDescriptor.h>

#include <string>

namespace radiosim {

// A pseudo-terminal pair: the master side the radio serves, and the slave device the editor
// opens. The slave is put into raw mode and one descriptor of it is kept open for the pair's
// whole life, so the master never sees a hang-up while the editor has the port closed.
class PseudoTerminal {
public:
    // Throws std::system_error if the pair cannot be made.
    PseudoTerminal();

    int MasterFd() const { return master_.Get(); } // non-blocking
    const std::string& SlavePath() const { return slavePath_; }

private:
    SerialPlatform::FileDescriptor master_;
    SerialPlatform::FileDescriptor heldSlave_;
    std::string slavePath_;
};

} // namespace radiosim
