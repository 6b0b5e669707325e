#include "SimulatedRadio.h"

#include "AnswerPolicy.h"
#include "Command.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <random>
#include <stdexcept>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace radiosim {

namespace {

// Milliseconds until `due`, rounded up so that poll never wakes just before it and spins.
int PollTimeout(std::optional<SimulatedRadio::Clock::time_point> due) {
    if (!due) {
        return -1;
    }
    const auto wait =
        std::chrono::ceil<std::chrono::milliseconds>(*due - SimulatedRadio::Clock::now());
    return static_cast<int>(std::max<long long>(wait.count(), 0));
}

std::optional<SimulatedRadio::Clock::time_point>
Earliest(std::optional<SimulatedRadio::Clock::time_point> one,
         std::optional<SimulatedRadio::Clock::time_point> other) {
    if (!one || !other) {
        return one ? one : other;
    }
    return std::min(*one, *other);
}

std::uint64_t RandomSeed() {
    std::random_device device;
    return (static_cast<std::uint64_t>(device()) << 32) | device();
}

// Where the k-th split answer (k from 1) is cut: after byte k, wrapping so that each cut leaves
// a byte on both sides; no cut for an answer of one byte.
std::size_t SplitPoint(std::size_t k, std::size_t size) {
    return size < 2 ? 0 : (k - 1) % (size - 1) + 1;
}

} // namespace

SimulatedRadio::SimulatedRadio(RadioOptions options)
    : options_(std::move(options)),
      framer_({.command = [this](std::string text) { HandleCommand(std::move(text)); },
               .overlong =
                   [this](std::size_t dropped) {
                       Note("command longer than " + std::to_string(MaxLineLength) +
                            " bytes dropped (" + std::to_string(dropped) + " bytes)");
                   }}),
      behaviour_(options_.behaviour) {
    CheckBehaviour(options_.behaviour);
}

SimulatedRadio::~SimulatedRadio() {
    try {
        Stop();
    } catch (const std::exception& error) {
        // A destructor has no one else to tell.
        Note(error.what());
    }
}

void SimulatedRadio::Start() {
    std::lock_guard lock(lifecycleMutex_);
    if (state_ != State::Created) {
        throw std::logic_error("a simulated radio can be started only once");
    }
    state_ = State::Stopped; // unless everything below succeeds
    const Clock::time_point start = Clock::now();
    try {
        log_ = std::make_unique<LogWriter>(options_.logPath, start);
        if (!options_.loadPath.empty()) {
            LoadMemories(options_.loadPath);
        }
        pty_ = std::make_unique<PseudoTerminal>();
        devicePath_ = pty_->SlavePath();
        if (!options_.linkPath.empty()) {
            link_ = std::make_unique<DeviceLink>(options_.linkPath, devicePath_);
        }
        wakeFd_ = SerialPlatform::FileDescriptor(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
        if (!wakeFd_.Valid()) {
            throw std::system_error(errno, std::generic_category(), "cannot make an event");
        }
        const Behaviour& behaviour = options_.behaviour;
        const std::uint64_t seed = behaviour.seed ? *behaviour.seed : RandomSeed();
        if (behaviour.noise > 0.0) {
            noise_.emplace(behaviour.noise, seed);
            Note("line noise " + std::to_string(behaviour.noise) + ", seed " +
                 std::to_string(seed));
        }
        flood_.emplace(seed);
        Note("radio on " + devicePath_ +
             (options_.linkPath.empty() ? "" : " (linked as " + options_.linkPath + ")"));
        thread_ = std::thread(&SimulatedRadio::Serve, this);
    } catch (...) {
        Release();
        throw;
    }
    state_ = State::Running;
}

void SimulatedRadio::Stop() {
    std::lock_guard lock(lifecycleMutex_);
    const bool wasRunning = state_ == State::Running;
    state_ = State::Stopped;
    if (thread_.joinable()) {
        const std::uint64_t one = 1;
        // An eventfd write of 1 cannot fail short of overflowing its counter, which a single
        // stop request never does.
        [[maybe_unused]] const ssize_t written = ::write(wakeFd_.Get(), &one, sizeof one);
        thread_.join();
    }
    Release();
    if (wasRunning) {
        Note("stopped");
        if (!options_.savePath.empty()) {
            SaveMemories(options_.savePath);
        }
    }
}

void SimulatedRadio::Release() {
    link_.reset();
    pty_.reset();
    wakeFd_ = SerialPlatform::FileDescriptor();
}

void SimulatedRadio::SetBehaviour(const Behaviour& behaviour) {
    CheckBehaviour(behaviour);
    std::lock_guard lock(behaviourMutex_);
    newBehaviour_ = behaviour;
    behaviourChanged_ = true;
}

void SimulatedRadio::TakeNewBehaviour() {
    std::lock_guard lock(behaviourMutex_);
    if (!std::exchange(behaviourChanged_, false)) {
        return;
    }
    behaviour_ = newBehaviour_;
    answersSplit_ = 0;
    writesTaken_ = 0;
    flood_->Stop();
    schedule_ = OutputSchedule();
    pendingAnswers_.clear();
    answerBytesScheduled_ = 0;
    answerBytesWritten_ = 0;
}

MemFileSummary SimulatedRadio::LoadMemories(const std::string& path) {
    const MemFileSummary summary = ReadMemFile(path, memories_);
    Note("memories read from " + path + ": " + std::to_string(summary.stored) + " stored, " +
         std::to_string(summary.ignored) + " ignored");
    return summary;
}

void SimulatedRadio::SaveMemories(const std::string& path) const {
    WriteMemFile(path, memories_);
    Note("memories saved to " + path);
}

void SimulatedRadio::Note(const std::string& text) const {
    if (log_) {
        log_->Note(text);
    }
}

void SimulatedRadio::Serve() {
    pollfd watched[2] = {{wakeFd_.Get(), POLLIN, 0}, {pty_->MasterFd(), POLLIN, 0}};
    bool lineUp = true;
    for (;;) {
        const int ready = ::poll(watched, lineUp ? 2 : 1,
                                 PollTimeout(Earliest(schedule_.NextDue(), flood_->NextDue())));
        if (ready < 0 && errno != EINTR) {
            Note(std::string("cannot wait for the line: ") + std::strerror(errno));
            return;
        }
        if (ready > 0 && watched[0].revents != 0) {
            return;
        }
        // Before the command that woke the loop; a flood wakes it often enough to end soon.
        TakeNewBehaviour();
        if (ready > 0 && lineUp && watched[1].revents != 0) {
            lineUp = ReadFromLine();
        }
        SendDue();
    }
}

bool SimulatedRadio::ReadFromLine() {
    char buffer[4096];
    const ssize_t count = ::read(pty_->MasterFd(), buffer, sizeof buffer);
    if (count > 0) {
        readAt_ = Clock::now();
        framer_.Feed({buffer, static_cast<std::size_t>(count)});
        return true;
    }
    if (count < 0 && (errno == EAGAIN || errno == EINTR)) {
        return true;
    }
    // Cannot happen while the held slave descriptor is open; stop watching rather than spin.
    Note(std::string("the line is gone: ") + (count == 0 ? "end of file" : std::strerror(errno)));
    return false;
}

void SimulatedRadio::HandleCommand(std::string text) {
    const Command command = ParseCommand(text);
    log_->Received(text, readAt_);
    history_.Add({std::move(text), readAt_, std::nullopt});
    if (command.kind == Command::Kind::Set) {
        if (DropsWrite(behaviour_, ++writesTaken_)) {
            Note("set command " + std::to_string(writesTaken_) + " dropped");
        } else if (command.memory) {
            memories_.SetRecord(*command.memory, command.record);
        } else {
            Note("set command names no memory from 1 to 100: ignored");
        }
    }
    const Behaviour& behaviour = behaviour_;
    if (command.kind == Command::Kind::Query && command.memory && behaviour.floodFrom &&
        *command.memory >= *behaviour.floodFrom && !flood_->Running()) {
        flood_->Start(readAt_);
        Note("flooding the line with random bytes");
    }
    if (flood_->Running()) {
        return; // the flood is all it sends
    }
    std::optional<std::string> answer = AnswerTo(command, memories_, behaviour);
    if (!answer) {
        return;
    }
    if (noise_) {
        if (const std::string what = noise_->Apply(*answer); !what.empty()) {
            Note(what);
        }
    }
    const Clock::time_point due = readAt_ + behaviour.delay;
    const bool scheduled =
        behaviour.splitSweep
            ? schedule_.AddSplit(*answer, due, SplitPoint(++answersSplit_, answer->size()),
                                 behaviour.fragmentGap)
            : schedule_.Add(*answer, due, behaviour.fragments, behaviour.fragmentGap);
    if (!scheduled) {
        Note("answer dropped: too much output waiting to be sent");
    } else if (!answer->empty()) {
        answerBytesScheduled_ += answer->size();
        pendingAnswers_.push_back({history_.Count() - 1, answerBytesScheduled_});
    }
}

void SimulatedRadio::SendDue() {
    const Clock::time_point now = Clock::now();
    const std::string answers = schedule_.TakeDue(now);
    const std::string bytes = answers + flood_->TakeDue(now);
    if (bytes.empty()) {
        return;
    }
    // Stamped before the write, so that whoever reads an answer finds it stamped, and never
    // later than it went out. Bytes the line has no room for are answered all the same.
    NoteAnswersWritten(answers.size(), Clock::now());
    const ssize_t written = ::write(pty_->MasterFd(), bytes.data(), bytes.size());
    const std::size_t sent = written > 0 ? static_cast<std::size_t>(written) : 0;
    if (sent > 0) {
        log_->Sent(std::string_view(bytes).substr(0, sent), Clock::now());
    }
    if (sent < bytes.size()) {
        // Like a real line: what the far end has no room for is lost.
        Note(std::to_string(bytes.size() - sent) + " bytes lost: the port's input is full");
    }
}

void SimulatedRadio::NoteAnswersWritten(std::size_t count, Clock::time_point at) {
    answerBytesWritten_ += count;
    while (!pendingAnswers_.empty() && pendingAnswers_.front().end <= answerBytesWritten_) {
        history_.Answered(pendingAnswers_.front().command, at);
        pendingAnswers_.pop_front();
    }
}

} // namespace radiosim
