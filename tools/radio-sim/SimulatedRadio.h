#pragma once

#include "CommandFramer.h"
#include "CommandHistory.h"
#include "DeviceLink.h"
#include "LineFlood.h"
#include "LineNoise.h"
#include "LogWriter.h"
#include "MemFile.h"
#include "MemoryStore.h"
#include "OutputSchedule.h"
#include "PseudoTerminal.h"
#include "RadioOptions.h"

#include <q4471/serial/LinuxFileDescriptor.h>

#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace radiosim {

// A Q4471 radio played on a pseudo-terminal. Start() makes the device and a thread that answers
// on it; the editor (or a test) opens DevicePath() like a serial port. Start and Stop are meant to
// be called from one thread; everything else may be called from any thread at any time.
class SimulatedRadio {
public:
    using Clock = std::chrono::steady_clock;

    // Throws std::invalid_argument for an out-of-range behaviour (see CheckBehaviour).
    explicit SimulatedRadio(RadioOptions options = {});
    // Stops the radio; a failure of the final save is only logged here.
    ~SimulatedRadio();
    SimulatedRadio(const SimulatedRadio&) = delete;
    SimulatedRadio& operator=(const SimulatedRadio&) = delete;

    // Opens the log, loads options.loadPath, makes the device and the link, and starts serving.
    // Throws std::runtime_error (or std::system_error) and leaves nothing behind on failure.
    // A radio starts once; a second Start throws std::logic_error.
    void Start();
    // Stops serving at once (answers still pending are dropped), removes the link, closes the
    // device, then saves to options.savePath if given. Does nothing when already stopped. Throws
    // std::runtime_error if that save fails; the radio is stopped all the same.
    void Stop();

    // Changes how the radio behaves from the next command on, as if it had started with it: what
    // it had yet to send is dropped, and the noise stays as started. Throws std::invalid_argument
    // as the constructor does.
    void SetBehaviour(const Behaviour& behaviour);

    // The slave device path, e.g. "/dev/pts/7"; empty before Start.
    const std::string& DevicePath() const { return devicePath_; }

    // The commands received, in order of arrival (the most recent CommandHistory::Retained).
    std::vector<ReceivedCommand> Commands() const { return history_.Commands(); }
    // True once `count` commands have arrived in all; false if `deadline` passes first.
    bool WaitForCommands(std::size_t count, Clock::time_point deadline) const {
        return history_.WaitFor(count, deadline);
    }

    // The memories, by number 1..100 (std::out_of_range otherwise). SetRecord stores verbatim.
    std::string Record(int number) const { return memories_.Record(number); }
    void SetRecord(int number, std::string record) {
        memories_.SetRecord(number, std::move(record));
    }
    // Read or write a .mem file; std::runtime_error on failure.
    MemFileSummary LoadMemories(const std::string& path);
    void SaveMemories(const std::string& path) const;

private:
    void Serve();
    // Takes a behaviour set meanwhile: pending output is dropped, answer counting and any flood
    // start afresh.
    void TakeNewBehaviour();
    // False once the line is gone for good.
    bool ReadFromLine();
    void HandleCommand(std::string text);
    void SendDue();
    // Stamps the answers whose last byte is among `count` more bytes of answers just written.
    void NoteAnswersWritten(std::size_t count, Clock::time_point at);
    void Note(const std::string& text) const;
    void Release();

    const RadioOptions options_;
    MemoryStore memories_;
    CommandHistory history_;
    std::unique_ptr<LogWriter> log_;
    std::unique_ptr<PseudoTerminal> pty_;
    std::unique_ptr<DeviceLink> link_;
    std::string devicePath_;
    SerialPlatform::FileDescriptor wakeFd_;
    std::thread thread_;
    std::mutex lifecycleMutex_;
    enum class State { Created, Running, Stopped } state_ = State::Created;
    std::mutex behaviourMutex_;
    Behaviour newBehaviour_;
    bool behaviourChanged_ = false;

    // Used by the serving thread only.
    CommandFramer framer_;
    OutputSchedule schedule_;
    std::optional<LineNoise> noise_;
    std::optional<LineFlood> flood_;
    Behaviour behaviour_;
    std::size_t answersSplit_ = 0;
    // The answers in the schedule: the number of the command each answers, and where its last
    // byte falls in all the bytes of answers scheduled since the schedule was last emptied.
    struct PendingAnswer {
        std::size_t command;
        std::size_t end;
    };
    std::deque<PendingAnswer> pendingAnswers_;
    std::size_t answerBytesScheduled_ = 0;
    std::size_t answerBytesWritten_ = 0;
    std::size_t writesTaken_ = 0;
    Clock::time_point readAt_;
};

} // namespace radiosim
