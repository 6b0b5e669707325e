#pragma once

#include "memories/TableUndo.h"

#include <QHash>
#include <QObject>
#include <functional>
#include <string>

class QKeyEvent;
class QScrollArea;
class QWidget;
class TNumberBoxLook;

// What the table's commands need of the window.
struct TTableCommandsHost {
    std::function<void(const std::string& text)> status;
    // Whether a load or send runs; the commands that write many memories then stay off.
    std::function<bool()> transferRunning;
    // Says on the status line that a transfer runs and answers true, or answers false.
    std::function<bool()> refuseDuringTransfer;
};

// The table's commands beyond typing: the menu of a memory's number box (Copy Memories, Insert
// Empty Memory Here, Delete Memory, Move Up, Move Down, and undo), Shift+click for a range of
// memories, Alt+Up and Alt+Down, a block of spreadsheet cells pasted into a field, and Ctrl+Z for
// the last table-wide command when the field has no typing of its own to undo.
class TTableCommands : public QObject {
public:
    TTableCommands(QScrollArea* panel, const TMemoryRows& rows, TTableUndo& undo,
                   TNumberBoxLook& look, TTableCommandsHost host);

    // Ctrl+Z: undoes the last table-wide command unless it is undone already.
    void UndoTableCommand();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A box of the table: its memory, and its column (NumberColumn for the number box).
    struct TCell {
        int memory = 0;
        int column = 0;
    };
    static constexpr int NumberColumn = -1;

    void Watch(QWidget* box, int memory, int column);
    bool KeyPressed(const TCell& cell, QWidget* box, const QKeyEvent& key);
    bool ShowValueMenu(const TCell& cell, QWidget* box, const QPoint& globalPos);
    void ShowRowMenu(int memory, const QPoint& globalPos);
    void SelectRange(int first, int last);
    // Undoes the last table-wide command, or redoes it once undone.
    void ApplyUndo();

    void CopyMemories(int first, int last);
    void InsertEmptyMemoryAt(int memory);
    void DeleteMemoryAt(int memory);
    // Moves memory `memory` up (-1) or down (+1); the new place, or 0 when it did not move.
    int MoveMemory(int memory, int step);
    bool PasteCells(const TCell& cell);

    QWidget* BoxOf(int memory, int column) const;
    QWidget* Window() const;

    QScrollArea* panel_;
    const TMemoryRows& rows_;
    TTableUndo& undo_;
    TNumberBoxLook& look_;
    TTableCommandsHost host_;
    QHash<QObject*, TCell> cells_;
    int anchor_ = 0; // the memory a Shift+click extends from
    int first_ = 0;  // the chosen range, 0 when none
    int last_ = 0;
};
