#pragma once

#include "memories/Q4471Radio.h"

#include <q4471/framework/Thread.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// What a transfer thread works with: the table, the port, and where its texts go. `status`,
// `progress` and `traffic` are called on the transfer thread; `showFinal` runs on the GUI thread
// with how the transfer ended, its final status text included.
struct TQ4471TransferSetup {
    const TMemoryRows& rows;
    TVaCustomComm& comm;
    TQ4471Radio::TStatusSink status;
    TQ4471Radio::TProgressSink progress;
    std::function<void(const TOutcome& outcome)> showFinal;
    TQ4471Radio::TTrafficSink traffic;
};

// A radio transfer on a thread of its own: one pass, then the final status text is shown on the
// GUI thread while the thread waits. An error ends the transfer with its message as that text.
// A stop request (RequestStop) ends it at its next step without any text; destroying the object
// stops the thread and waits for it.
class TQ4471TransferThread : public q4471::TThread {
public:
    void RequestStop();
    // False once the final status text has been shown: from then on the thread touches neither
    // the window nor the port, even though it may not quite have returned yet.
    bool Running() const { return !Finished() && !finalStatusShown_; }
    // Whether the transfer ended on its own and showed its final status text.
    bool FinalStatusShown() const { return finalStatusShown_; }
    // How far the transfer got: the last memory it loaded or sent, 0 before the first.
    int MemoriesDone() const { return radio_.MemoriesDone(); }
    // What the transfer is called in the status texts: "Load from Q4471".
    const std::string& Name() const { return name_; }

protected:
    TQ4471TransferThread(const TQ4471TransferSetup& setup, std::string name);

    // Runs one transfer of the radio and posts its outcome.
    void Run(const std::function<std::optional<TOutcome>(TQ4471Radio& radio)>& transfer);
    // For the destructor of the final class: once a base destructor runs, the object no longer
    // has the Execute that the thread may be about to call.
    void StopAndWait();

private:
    void PostOutcome(TOutcome outcome);
    bool Pause(int milliseconds);

    std::function<void(const TOutcome&)> showFinal_;
    std::string name_;
    std::atomic<bool> finalStatusShown_{false};
    std::mutex pauseMutex_;
    std::condition_variable stopRequested_;
    TQ4471Radio radio_;
};

class TLoadFromQ4471Thread final : public TQ4471TransferThread {
public:
    explicit TLoadFromQ4471Thread(const TQ4471TransferSetup& setup);
    ~TLoadFromQ4471Thread() override { StopAndWait(); }

protected:
    void Execute() override;
};

class TWriteToQ4471Thread final : public TQ4471TransferThread {
public:
    // Sends every memory, or only `memories` when given.
    explicit TWriteToQ4471Thread(const TQ4471TransferSetup& setup, std::vector<int> memories = {});
    ~TWriteToQ4471Thread() override { StopAndWait(); }

protected:
    void Execute() override;

private:
    const std::vector<int> memories_;
};

// Reads every memory back and compares it with the table; `differs` is called on this thread.
class TVerifyQ4471Thread final : public TQ4471TransferThread {
public:
    TVerifyQ4471Thread(const TQ4471TransferSetup& setup, TQ4471Radio::TDifferenceSink differs);
    ~TVerifyQ4471Thread() override { StopAndWait(); }

protected:
    void Execute() override;

private:
    const TQ4471Radio::TDifferenceSink differs_;
};
