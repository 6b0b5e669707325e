#pragma once

// A port whose receive thread runs, with the test's thread as the GUI thread: it pumps the
// deliveries and records, in order, what reaches the port's handlers and clients.

#include "CommFixture.h"
#include "ScriptedEvents.h"
#include "WaitUntil.h"

#include <q4471/framework/plain/PlainFramework.h>
#include <q4471/serial/VaCommClients.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

inline std::string Hex(uint32_t mask) {
    char text[16];
    std::snprintf(text, sizeof text, "%04X", mask);
    return text;
}

// Where a recording goes: a plain log, or one that several threads share.
using LogSink = std::function<void(std::string entry)>;

// A client that logs its notifications as "<name> data <bytes>" and "<name> line <mask>", then
// runs the test's reaction, if any.
class RecordingClient : public TVaCommComponent {
public:
    RecordingClient(std::vector<std::string>& log, std::string name)
        : RecordingClient([&log](std::string entry) { log.push_back(std::move(entry)); },
                          std::move(name)) {}
    RecordingClient(LogSink sink, std::string name)
        : TVaCommComponent(nullptr), sink_(std::move(sink)), name_(std::move(name)) {}

    void DataChanged(PVaData data, int32_t count) override {
        sink_(name_ + " data " + std::string(data, static_cast<std::size_t>(count)));
        if (onData) {
            onData();
        }
    }
    void LineChanged(uint32_t evtMask) override {
        sink_(name_ + " line " + Hex(evtMask));
        if (onLine) {
            onLine();
        }
    }

    std::function<void()> onData, onLine;

private:
    LogSink sink_;
    std::string name_;
};

// Every notification of `comm` logs its name: "OnCts", "OnRxChar 5", "OnRxBuf hello",
// "OnError 0008".
inline void RecordHandlers(TVaCustomComm& comm, const LogSink& sink) {
    const auto note = [sink](const char* name) {
        return [sink, name](q4471::TObject*) { sink(name); };
    };
    comm.OnCts = note("OnCts");
    comm.OnDsr = note("OnDsr");
    comm.OnRlsd = note("OnRlsd");
    comm.OnRing = note("OnRing");
    comm.OnBreak = note("OnBreak");
    comm.OnRxFlag = note("OnRxFlag");
    comm.OnTxEmpty = note("OnTxEmpty");
    comm.OnPErr = note("OnPErr");
    comm.OnRx80Full = note("OnRx80Full");
    comm.OnEvent1 = note("OnEvent1");
    comm.OnEvent2 = note("OnEvent2");
    comm.OnError = [sink](q4471::TObject*, int32_t errors) {
        sink("OnError " + Hex(static_cast<uint32_t>(errors)));
    };
    comm.OnRxChar = [sink](q4471::TObject*, int32_t count) {
        sink("OnRxChar " + std::to_string(count));
    };
    comm.OnRxBuf = [sink](q4471::TObject*, PVaData data, int32_t count) {
        sink("OnRxBuf " + std::string(data, static_cast<std::size_t>(count)));
    };
}

// Closes `comm` on a worker, or else on the calling thread; answers whether Close returned
// within a generous deadline.
inline bool CloseFrom(TVaCustomComm& comm, bool onWorker) {
    std::atomic<bool> closed{false};
    std::thread worker;
    if (onWorker) {
        worker = std::thread([&] {
            comm.Close();
            closed = true;
        });
    } else {
        comm.Close();
        closed = true;
    }
    const bool returned = WaitUntil([&] { return closed.load(); });
    if (worker.joinable()) {
        worker.join();
    }
    return returned;
}

class CommEventTest : public CommTest {
protected:
    // The port's thread may be using the script and the binding: it stops before they go.
    ~CommEventTest() override { comm_.Close(); }

    void RecordHandlers(TVaCustomComm& comm) {
        ::RecordHandlers(comm, [this](std::string entry) { log_.push_back(std::move(entry)); });
    }

    // The receive thread waits for the events the test raises instead of the device's own.
    void UseScript() {
        UseFake();
        fake_.scriptedEvents = &script_;
    }

    // Runs the deliveries until the log holds `count` entries (or a generous deadline passed).
    bool PumpUntilLogged(std::size_t count) {
        return q4471::PlainFrameworkBinding::PumpUntil([&] { return log_.size() >= count; });
    }
    // Runs whatever deliveries come within a short while, for tests that expect none.
    static void PumpAWhile() {
        q4471::PlainFrameworkBinding::PumpUntil([] { return false; },
                                                std::chrono::milliseconds(200));
    }

    q4471::PlainFrameworkBinding framework_;
    ScriptedEvents script_;
    std::vector<std::string> log_;
};
