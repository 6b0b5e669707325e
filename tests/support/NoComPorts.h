#pragma once

// Points COM1 to COM4 at names in a test's folder that do not exist, so that no COM name falls
// back to this machine's own serial devices until a test gives one a pseudo-terminal.

#include "TempFolder.h"

#include <cstdlib>
#include <string>

inline void PointComPortsAtNothing(const TempFolder& folder) {
    for (int port = 1; port <= 4; ++port) {
        const std::string name = "COM" + std::to_string(port);
        setenv(("Q4471_" + name).c_str(), folder.File("no-" + name).c_str(), 1);
    }
}
