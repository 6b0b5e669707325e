#include "app/VerifyControl.h"

#include "app/NumberBoxLook.h"
#include "memories/Latin1.h"

#include <q4471/framework/Thread.h>

#include <QComboBox>
#include <QLineEdit>
#include <QShortcut>
#include <QStatusBar>
#include <QTextDocument>
#include <QToolButton>

using namespace q4471;

namespace {

QString RadioHoldsText(const TMemoryDifference& difference) {
    if (!difference.radioRecord) {
        return QStringLiteral("The radio did not answer for this memory");
    }
    const QString text =
        QStringLiteral("The radio holds: ") + ToControlText(*difference.radioRecord);
    // A tooltip that looks like markup is shown as markup: the radio's bytes are shown as they are.
    return Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal) : text;
}

} // namespace

TVerifyControl::TVerifyControl(QStatusBar* statusBar, const TMemoryRows& rows, TNumberBoxLook& look,
                               std::function<void()> verify, std::function<void()> sendDiffering)
    : rows_(rows), look_(look), button_(new QToolButton(statusBar)), verify_(std::move(verify)),
      sendDiffering_(std::move(sendDiffering)) {
    button_->setObjectName(QStringLiteral("VerifyButton"));
    statusBar->addPermanentWidget(button_);
    connect(button_, &QToolButton::clicked, this, [this] { Press(); });
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V), statusBar->window()),
            &QShortcut::activated, this, [this] {
                if (button_->isVisible()) {
                    Press();
                }
            });
    ShowOffer();
}

void TVerifyControl::WatchRows() {
    for (int number = 1; number <= MemoryCount; ++number) {
        const TMemoryRow& row = *rows_[static_cast<size_t>(number)];
        const auto changed = [this, number] { RowChanged(number); };
        for (QWidget* box : row.ValueBoxes()) {
            connect(TextFieldOf(box), &QLineEdit::textChanged, this, changed);
        }
    }
}

void TVerifyControl::Press() {
    if (offer_ == TOffer::Verify) {
        verify_();
    } else if (offer_ == TOffer::SendDiffering) {
        sendDiffering_();
    }
}

void TVerifyControl::TransferRunning(bool running) {
    transferRunning_ = running;
    ShowOffer();
}

void TVerifyControl::SendStarted() {
    offer_ = TOffer::None;
    tableUnchanged_ = true;
    ShowOffer();
}

void TVerifyControl::SendEnded(bool completed) {
    if (completed && tableUnchanged_) {
        offer_ = TOffer::Verify;
    }
    ShowOffer();
}

void TVerifyControl::VerifyStarted() {
    UnmarkAll();
    differing_.clear();
    tableUnchanged_ = true;
}

void TVerifyControl::VerifyEnded(bool completed) {
    if (tableUnchanged_) {
        offer_ = completed && !differing_.empty() ? TOffer::SendDiffering : TOffer::Verify;
    }
    ShowOffer();
}

void TVerifyControl::Withdraw() {
    offer_ = TOffer::None;
    tableUnchanged_ = false;
    ShowOffer();
}

void TVerifyControl::TableReplaced() {
    Withdraw();
    UnmarkAll();
}

void TVerifyControl::RowChanged(int number) {
    Unmark(number);
    Withdraw();
}

TQ4471Radio::TDifferenceSink TVerifyControl::DifferenceSink() {
    return [this](const TMemoryDifference& difference) {
        TThread::Synchronize([this, &difference] { Mark(difference); });
    };
}

void TVerifyControl::Mark(const TMemoryDifference& difference) {
    differing_.push_back(difference.memory);
    marked_.insert(difference.memory);
    look_.SetDiffering(difference.memory, true);
    rows_[static_cast<size_t>(difference.memory)]->NumberBox()->setToolTip(
        RadioHoldsText(difference));
}

void TVerifyControl::Unmark(int number) {
    if (marked_.erase(number) == 0) {
        return;
    }
    look_.SetDiffering(number, false);
    rows_[static_cast<size_t>(number)]->NumberBox()->setToolTip(QString());
}

void TVerifyControl::UnmarkAll() {
    while (!marked_.empty()) {
        Unmark(*marked_.begin());
    }
}

void TVerifyControl::ShowOffer() {
    if (offer_ == TOffer::SendDiffering) {
        button_->setText(QStringLiteral("Send %1 Differing").arg(differing_.size()));
        button_->setToolTip(
            QStringLiteral("Send the memories that differ to the Q4471 again (Ctrl+Shift+V)"));
    } else {
        button_->setText(QStringLiteral("Verify"));
        button_->setToolTip(QStringLiteral("Read the memories back from the Q4471 and compare them "
                                           "with the table (Ctrl+Shift+V)"));
    }
    button_->setVisible(!transferRunning_ && offer_ != TOffer::None);
}
