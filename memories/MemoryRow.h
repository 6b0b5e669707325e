#pragma once

#include <QString>
#include <array>
#include <functional>
#include <shared_mutex>
#include <string>

class QComboBox;
class QLineEdit;
class QObject;
class QWidget;

// One memory of the table: its number and five editable values in six controls of the scrolling
// panel. The ten value operations may be called from any thread: the row's lock admits many
// readers or one writer, and the control access itself runs on the GUI thread while the caller
// waits. The controls belong to the panel and are destroyed with it.
class TMemoryRow {
public:
    TMemoryRow(QWidget* panel, int position, int left, int top);
    TMemoryRow(const TMemoryRow&) = delete;
    TMemoryRow& operator=(const TMemoryRow&) = delete;

    void SetLabel(const std::string& value);
    void SetTxFreq(const std::string& value);
    void SetRxFreq(const std::string& value);
    void SetMode(const std::string& value);
    void SetCode(const std::string& value);
    std::string GetLabel();
    std::string GetTxFreq();
    std::string GetRxFreq();
    std::string GetMode();
    std::string GetCode();

    // GUI thread only; takes no lock, as the user's typing takes none.
    void Clear();

    int Position() const { return position_; }
    QLineEdit* NumberBox() const { return numberBox_; }
    QLineEdit* LabelBox() const { return labelBox_; }
    QLineEdit* TxBox() const { return txBox_; }
    QLineEdit* RxBox() const { return rxBox_; }
    QComboBox* ModeBox() const { return modeBox_; }
    QLineEdit* CodeBox() const { return codeBox_; }
    // The five value boxes in the table's column order (TMemoryColumn).
    std::array<QWidget*, 5> ValueBoxes() const;

private:
    void Write(const std::function<void()>& access);
    std::string Read(const std::function<QString()>& access);

    std::shared_mutex lock_;
    QLineEdit* numberBox_;
    QLineEdit* labelBox_;
    QLineEdit* txBox_;
    QLineEdit* rxBox_;
    QComboBox* modeBox_;
    QLineEdit* codeBox_;
    int position_;
};

// Where a box's text is typed: the line edit itself, or a combo box's own; nullptr for neither.
QLineEdit* TextFieldOf(QObject* box);
