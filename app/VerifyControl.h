#pragma once

#include "memories/MemoryTable.h"
#include "memories/Q4471Radio.h"

#include <QObject>
#include <functional>
#include <set>
#include <vector>

class QStatusBar;
class QToolButton;
class TNumberBoxLook;

// What the window offers once a send has finished: a button beside the transfer controls that
// reads "Verify", and after a verify that found differences "Send N Differing"; and the marks on
// the number boxes of the rows that differ, with what the radio holds in their tooltips. The offer
// lasts until the table or the port changes, a row's mark until that row changes or a new verify
// starts. GUI thread only, but for the function that DifferenceSink answers.
class TVerifyControl : public QObject {
public:
    // `verify` and `sendDiffering` start those transfers when the button (or Ctrl+Shift+V) asks.
    TVerifyControl(QStatusBar* statusBar, const TMemoryRows& rows, TNumberBoxLook& look,
                   std::function<void()> verify, std::function<void()> sendDiffering);

    // Follows every change of the rows' values, whoever makes it; call once they are built.
    void WatchRows();

    // While a transfer runs, Stop stands where the button does.
    void TransferRunning(bool running);
    void SendStarted();
    // A send that went through all its memories offers Verify, unless the table changed meanwhile.
    void SendEnded(bool completed);
    void VerifyStarted();
    // A complete verify that found differences offers to send them; any other offers Verify again.
    void VerifyEnded(bool completed);
    // The port changed: what the radio holds is no longer known.
    void Withdraw();
    // The whole table was cleared or replaced: the offer and every mark go.
    void TableReplaced();

    // For a verify's transfer thread: marks each differing row, on the GUI thread.
    TQ4471Radio::TDifferenceSink DifferenceSink();
    // The memories the last verify found differing, in rising order.
    const std::vector<int>& Differing() const { return differing_; }

private:
    enum class TOffer { None, Verify, SendDiffering };

    void Press();
    void RowChanged(int number);
    void Mark(const TMemoryDifference& difference);
    void Unmark(int number);
    void UnmarkAll();
    void ShowOffer();

    const TMemoryRows& rows_;
    TNumberBoxLook& look_;
    QToolButton* button_;
    std::function<void()> verify_;
    std::function<void()> sendDiffering_;
    TOffer offer_ = TOffer::None;
    // Nothing in the table has changed since the running send or verify started.
    bool tableUnchanged_ = false;
    bool transferRunning_ = false;
    std::vector<int> differing_;
    std::set<int> marked_;
};
