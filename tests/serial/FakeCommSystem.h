#pragma once

// Stands for the operating system where a pseudo-terminal cannot: modem lines, line errors, hold
// flags and refused calls. Every call goes on to the host's implementation (on a real
// pseudo-terminal) unless the test scripted it otherwise, and the calls are logged by name.

#include "ScriptedEvents.h"
#include "serial/platform/CommPlatform.h"

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// The calls a test can make fail: a misspelt one does not compile.
enum class FakeCall {
    CreateFile,
    SetCommState,
    GetDefaultCommConfig,
    SetCommTimeouts,
    SetupComm,
    SetCommMask,
    PurgeComm,
    ClearCommError,
    GetCommModemStatus,
    EscapeCommFunction,
    GetCommProperties,
    ReadFile,
    WriteFile,
    WaitInput,
    WaitWriteRoom,
    CreateEventWaiter
};

class FakeCommSystem : public SerialPlatform::ICommSystem {
public:
    // Calls that fail, with the error code to report.
    std::map<FakeCall, int> failures;
    // What the driver reports.
    uint32_t modemStat = 0;
    uint32_t comStatFlags = 0;
    uint32_t pendingErrors = 0; // reported and cleared by the next ClearCommError
    // With false, SetCommState only records the record (for settings a pseudo-terminal refuses).
    bool passSettings = true;
    // When set, the port's receive thread waits for these scripted events instead of the
    // device's own.
    ScriptedEvents* scriptedEvents = nullptr;
    // When set, the driver's input queue in place of the device's, for queues larger than a
    // pseudo-terminal holds: ReadFile takes from its front and ClearCommError counts it. Used by
    // the thread that runs the deliveries only.
    std::optional<std::string> input;

    std::vector<std::string> calls;
    std::vector<SerialPlatform::DCB> settings;
    std::vector<uint32_t> functions;

    using THandle = SerialPlatform::THandle;

    THandle CreateFile(const std::string& path) override {
        return Fails(FakeCall::CreateFile) ? SerialPlatform::INVALID_HANDLE_VALUE
                                           : host_.CreateFile(path);
    }
    bool CloseHandle(THandle handle) override {
        calls.push_back("CloseHandle");
        return host_.CloseHandle(handle);
    }
    bool SetCommState(THandle handle, const SerialPlatform::DCB& dcb) override {
        if (Fails(FakeCall::SetCommState)) {
            return false;
        }
        settings.push_back(dcb);
        return !passSettings || host_.SetCommState(handle, dcb);
    }
    bool GetDefaultCommConfig(const std::string& path, SerialPlatform::DCB& dcb) override {
        return !Fails(FakeCall::GetDefaultCommConfig) && host_.GetDefaultCommConfig(path, dcb);
    }
    bool SetCommTimeouts(THandle handle, const SerialPlatform::COMMTIMEOUTS& timeouts) override {
        return !Fails(FakeCall::SetCommTimeouts) && host_.SetCommTimeouts(handle, timeouts);
    }
    bool SetupComm(THandle handle, uint32_t inQueue, uint32_t outQueue) override {
        return !Fails(FakeCall::SetupComm) && host_.SetupComm(handle, inQueue, outQueue);
    }
    bool SetCommMask(THandle handle, uint32_t evtMask) override {
        return !Fails(FakeCall::SetCommMask) && host_.SetCommMask(handle, evtMask);
    }
    bool PurgeComm(THandle handle, uint32_t flags) override {
        return !Fails(FakeCall::PurgeComm) && host_.PurgeComm(handle, flags);
    }
    bool ClearCommError(THandle handle, uint32_t& errors, SerialPlatform::COMSTAT& stat) override {
        if (Fails(FakeCall::ClearCommError) || !host_.ClearCommError(handle, errors, stat)) {
            return false;
        }
        errors |= std::exchange(pendingErrors, 0);
        stat.Flags |= comStatFlags;
        if (input) {
            stat.cbInQue = static_cast<uint32_t>(input->size());
        }
        return true;
    }
    bool GetCommModemStatus(THandle handle, uint32_t& status) override {
        if (Fails(FakeCall::GetCommModemStatus) || !host_.GetCommModemStatus(handle, status)) {
            return false;
        }
        status |= modemStat;
        return true;
    }
    bool EscapeCommFunction(THandle, uint32_t func) override {
        if (Fails(FakeCall::EscapeCommFunction)) {
            return false;
        }
        functions.push_back(func);
        return true; // lines and break do nothing on a pseudo-terminal anyway
    }
    bool GetCommProperties(THandle handle, SerialPlatform::COMMPROP& prop) override {
        return !Fails(FakeCall::GetCommProperties) && host_.GetCommProperties(handle, prop);
    }
    bool ReadFile(THandle handle, void* buffer, uint32_t count, uint32_t& read) override {
        if (Fails(FakeCall::ReadFile)) {
            return false;
        }
        if (!input) {
            return host_.ReadFile(handle, buffer, count, read);
        }
        read = static_cast<uint32_t>(input->copy(static_cast<char*>(buffer), count));
        input->erase(0, read);
        return true;
    }
    bool WriteFile(THandle handle, const void* buffer, uint32_t count, uint32_t timeoutMs,
                   SerialPlatform::TSignalHandle cancelEvent, uint32_t& written) override {
        return !Fails(FakeCall::WriteFile) &&
               host_.WriteFile(handle, buffer, count, timeoutMs, cancelEvent, written);
    }
    uint32_t UncountedInput(uint32_t counted) override { return host_.UncountedInput(counted); }
    uint32_t UnreportedWrite(THandle handle) override { return host_.UnreportedWrite(handle); }
    int WaitInput(THandle handle, uint32_t timeoutMs,
                  SerialPlatform::TSignalHandle cancelEvent) override {
        return Fails(FakeCall::WaitInput) ? -1 : host_.WaitInput(handle, timeoutMs, cancelEvent);
    }
    int WaitWriteRoom(THandle handle,
                      std::span<const SerialPlatform::TSignalHandle> wakers) override {
        return Fails(FakeCall::WaitWriteRoom) ? -1 : host_.WaitWriteRoom(handle, wakers);
    }
    std::unique_ptr<SerialPlatform::ICommEventWaiter>
    CreateEventWaiter(THandle handle, SerialPlatform::TSignalHandle stopEvent) override {
        if (Fails(FakeCall::CreateEventWaiter)) {
            return nullptr;
        }
        return scriptedEvents != nullptr ? scriptedEvents->NewWaiter(stopEvent)
                                         : host_.CreateEventWaiter(handle, stopEvent);
    }
    SerialPlatform::TDeviceProbe ProbeDevice(const std::string& path) override {
        return host_.ProbeDevice(path);
    }

private:
    // Logs the call by the name of the function that asks: each is named as the call it stands
    // for.
    bool Fails(FakeCall call, const char* name = __builtin_FUNCTION()) {
        calls.push_back(name);
        const auto failure = failures.find(call);
        if (failure == failures.end()) {
            return false;
        }
        SerialPlatform::SetLastError(failure->second);
        return true;
    }

    SerialPlatform::ICommSystem& host_ = SerialPlatform::DefaultCommSystem();
};
