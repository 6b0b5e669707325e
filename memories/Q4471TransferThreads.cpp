#include "memories/Q4471TransferThreads.h"

#include <q4471/framework/Exception.h>

#include <chrono>

using namespace q4471;

TQ4471TransferThread::TQ4471TransferThread(const TQ4471TransferSetup& setup, std::string name)
    : showFinal_(setup.showFinal), name_(std::move(name)),
      radio_(
          setup.rows, setup.comm, setup.status, setup.progress,
          [this](int milliseconds) { return Pause(milliseconds); }, setup.traffic) {}

void TQ4471TransferThread::StopAndWait() {
    RequestStop();
    WaitFor();
}

void TQ4471TransferThread::RequestStop() {
    std::lock_guard lock(pauseMutex_);
    Terminate();
    stopRequested_.notify_all();
}

bool TQ4471TransferThread::Pause(int milliseconds) {
    std::unique_lock lock(pauseMutex_);
    return !stopRequested_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                    [this] { return Terminated(); });
}

void TQ4471TransferThread::Run(
    const std::function<std::optional<TOutcome>(TQ4471Radio& radio)>& transfer) {
    std::optional<TOutcome> outcome;
    try {
        outcome = transfer(radio_);
    } catch (const std::exception& error) {
        // The transfer's error must not vanish with the thread. Its message may quote received
        // bytes, NUL included, where what() would end.
        const auto* exception = dynamic_cast<const Exception*>(&error);
        outcome = TOutcome{
            false,
            static_cast<std::size_t>(radio_.MemoriesDone()),
            {},
            {},
            name_ + " stopped: " + (exception != nullptr ? exception->Message() : error.what())};
    }
    if (outcome && !Terminated()) {
        PostOutcome(std::move(*outcome));
    }
    Terminate();
}

void TQ4471TransferThread::PostOutcome(TOutcome outcome) {
    // The thread waits in Synchronize until the GUI thread has run the call.
    Synchronize([this, &outcome] {
        showFinal_(outcome);
        finalStatusShown_ = true;
    });
}

TLoadFromQ4471Thread::TLoadFromQ4471Thread(const TQ4471TransferSetup& setup)
    : TQ4471TransferThread(setup, "Load from Q4471") {
    Start();
}

void TLoadFromQ4471Thread::Execute() {
    Run([](TQ4471Radio& radio) { return radio.LoadFromRadio(); });
}

TWriteToQ4471Thread::TWriteToQ4471Thread(const TQ4471TransferSetup& setup,
                                         std::vector<int> memories)
    : TQ4471TransferThread(setup, "Send to Q4471"), memories_(std::move(memories)) {
    Start();
}

void TWriteToQ4471Thread::Execute() {
    Run([this](TQ4471Radio& radio) {
        return memories_.empty() ? radio.SendToRadio() : radio.SendMemories(memories_);
    });
}

TVerifyQ4471Thread::TVerifyQ4471Thread(const TQ4471TransferSetup& setup,
                                       TQ4471Radio::TDifferenceSink differs)
    : TQ4471TransferThread(setup, "Verify"), differs_(std::move(differs)) {
    Start();
}

void TVerifyQ4471Thread::Execute() {
    Run([this](TQ4471Radio& radio) { return radio.VerifyRadio(differs_); });
}
