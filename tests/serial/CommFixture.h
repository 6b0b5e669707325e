#pragma once

// A port on a fresh pseudo-terminal, set up as the editor sets its port: 9600 baud, 8N1, no flow
// control, DTR and RTS held off, direct writes. The test plays the peer on the master side.

#include "FakeCommSystem.h"
#include "PtyPair.h"

#include <q4471/serial/VaComm.h>

#include <gtest/gtest.h>
#include <stdexcept>

class CommTest : public testing::Test {
protected:
    CommTest() {
        comm_.SetDeviceName(pty_.SlavePath());
        comm_.SetBaudrate(br9600);
        comm_.SetDirectWrite(true);
    }

    // Makes the port go through the stand-in for the operating system.
    void UseFake() { comm_.SetCommSystem(fake_); }

    // The message of the EVaCommError that `action` raises, or "" when it raises none.
    template <class Action> static std::string ErrorOf(Action action) {
        try {
            action();
        } catch (const EVaCommError& error) {
            return error.Message();
        }
        return "";
    }

    PtyPair pty_;
    FakeCommSystem fake_;
    TVaComm comm_{nullptr};
};
