#include "memories/MemoryRow.h"

#include "memories/ColumnLayout.h"
#include "memories/Latin1.h"

#include <q4471/framework/Thread.h>

#include <QComboBox>
#include <QLineEdit>
#include <QValidator>
#include <limits>

using namespace q4471;

namespace {

const char* const ModeItems[] = {"OFF", "CTCSS", "DCS"};

// A line end cannot be part of a value: a memory file would split the record there, and the saved
// table would not load back. Text pasted or dropped into a box gets a blank for each LF or CR LF.
class TLineEndFilter : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& position) const override {
        if (!input.contains(u'\n')) {
            return Acceptable;
        }
        QString text;
        for (qsizetype i = 0; i < input.size(); ++i) {
            if (input[i] == u'\r' && i + 1 < input.size() && input[i + 1] == u'\n') {
                position -= i < position ? 1 : 0;
            } else {
                text += input[i] == u'\n' ? QChar(u' ') : input[i];
            }
        }
        input = text;
        return Acceptable;
    }
};

QLineEdit* MakeEditBox(QWidget* panel, int left, int top, int width, const QString& text,
                       const QString& accessibleName) {
    auto* box = new QLineEdit(text, panel);
    box->setMaxLength(std::numeric_limits<int>::max()); // no length limit
    box->setValidator(new TLineEndFilter(box));
    box->move(left, top);
    box->resize(width, box->sizeHint().height());
    box->setAccessibleName(accessibleName);
    return box;
}

QComboBox* MakeModeBox(QWidget* panel, int left, int top, const QString& accessibleName) {
    auto* box = new QComboBox(panel);
    box->setEditable(true);
    // The text field takes any text as typed: no completion against the list, and no new items.
    box->setCompleter(nullptr);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->lineEdit()->setMaxLength(std::numeric_limits<int>::max());
    box->setValidator(new TLineEndFilter(box));
    for (const char* item : ModeItems) {
        box->addItem(QString::fromLatin1(item));
    }
    box->setCurrentIndex(0);
    box->move(left, top);
    box->resize(ModeWidth, box->sizeHint().height());
    box->setAccessibleName(accessibleName);
    return box;
}

// A value set by the program shows its start, as a value read from a file or the radio is read
// from the left; a narrow box would otherwise show only its end.
void Show(QLineEdit* box, const std::string& value) {
    box->setText(ToControlText(value));
    box->setCursorPosition(0);
}

// On the GUI thread a lock held by a worker may be waiting for the GUI thread itself, so the GUI
// thread keeps serving handed-over calls until it gets the lock.
template <typename Lock> void Acquire(Lock& lock) {
    if (!IsMainThread()) {
        lock.lock();
        return;
    }
    while (!lock.try_lock()) {
        CheckSynchronize(1);
    }
}

} // namespace

TMemoryRow::TMemoryRow(QWidget* panel, int position, int left, int top) : position_(position) {
    const QString memory = QStringLiteral("Memory %1 ").arg(position + 1);
    numberBox_ = MakeEditBox(panel, left + NumberOffset, top, NumberWidth,
                             QString::number(position + 1), memory + "Number");
    labelBox_ = MakeEditBox(panel, left + LabelOffset, top, LabelWidth, {}, memory + "Label");
    txBox_ = MakeEditBox(panel, left + TxOffset, top, TxWidth, {}, memory + "TX Freq");
    rxBox_ = MakeEditBox(panel, left + RxOffset, top, RxWidth, {}, memory + "RX Freq");
    modeBox_ = MakeModeBox(panel, left + ModeOffset, top, memory + "Mode");
    codeBox_ = MakeEditBox(panel, left + CodeOffset, top, CodeWidth, {}, memory + "Code");
}

void TMemoryRow::Write(const std::function<void()>& access) {
    std::unique_lock lock(lock_, std::defer_lock);
    Acquire(lock);
    TThread::Synchronize(access);
}

std::string TMemoryRow::Read(const std::function<QString()>& access) {
    std::shared_lock lock(lock_, std::defer_lock);
    Acquire(lock);
    QString text;
    TThread::Synchronize([&] { text = access(); });
    return FromControlText(text);
}

void TMemoryRow::SetLabel(const std::string& value) {
    Write([&] { Show(labelBox_, value); });
}
void TMemoryRow::SetTxFreq(const std::string& value) {
    Write([&] { Show(txBox_, value); });
}
void TMemoryRow::SetRxFreq(const std::string& value) {
    Write([&] { Show(rxBox_, value); });
}
void TMemoryRow::SetMode(const std::string& value) {
    Write([&] {
        modeBox_->setEditText(ToControlText(value));
        modeBox_->lineEdit()->setCursorPosition(0);
    });
}
void TMemoryRow::SetCode(const std::string& value) {
    Write([&] { Show(codeBox_, value); });
}

std::string TMemoryRow::GetLabel() {
    return Read([&] { return labelBox_->text(); });
}
std::string TMemoryRow::GetTxFreq() {
    return Read([&] { return txBox_->text(); });
}
std::string TMemoryRow::GetRxFreq() {
    return Read([&] { return rxBox_->text(); });
}
std::string TMemoryRow::GetMode() {
    return Read([&] { return modeBox_->currentText(); });
}
std::string TMemoryRow::GetCode() {
    return Read([&] { return codeBox_->text(); });
}

std::array<QWidget*, 5> TMemoryRow::ValueBoxes() const {
    return {labelBox_, txBox_, rxBox_, modeBox_, codeBox_};
}

void TMemoryRow::Clear() {
    // setText rather than clear(): clearing would keep each box's own undo of the old text, and
    // Ctrl+Z would bring back one field instead of undoing the whole command.
    labelBox_->setText(QStringLiteral("---"));
    txBox_->setText(QString());
    rxBox_->setText(QString());
    modeBox_->setCurrentIndex(0);
    modeBox_->setEditText(modeBox_->itemText(0)); // also when index 0 was already selected
    codeBox_->setText(QString());
}

QLineEdit* TextFieldOf(QObject* box) {
    if (auto* combo = qobject_cast<QComboBox*>(box)) {
        return combo->lineEdit();
    }
    return qobject_cast<QLineEdit*>(box);
}
