#include "app/TableCommands.h"

#include "app/NumberBoxLook.h"
#include "memories/CellBlock.h"
#include "memories/Latin1.h"
#include "memories/RowEdits.h"

#include <q4471/framework/Counted.h>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>

using namespace q4471;

namespace {

const char* const InsertName = "Insert Empty Memory";
const char* const DeleteName = "Delete Memory";
const char* const PasteName = "Paste Cells";

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

std::string Memories(int first, int last) {
    return first == last ? "memory " + std::to_string(first)
                         : "memories " + std::to_string(first) + " to " + std::to_string(last);
}

} // namespace

TTableCommands::TTableCommands(QScrollArea* panel, const TMemoryRows& rows, TTableUndo& undo,
                               TNumberBoxLook& look, TTableCommandsHost host)
    : panel_(panel), rows_(rows), undo_(undo), look_(look), host_(std::move(host)) {
    for (int memory = 1; memory <= MemoryCount; ++memory) {
        const TMemoryRow& row = *rows_[static_cast<size_t>(memory)];
        Watch(row.NumberBox(), memory, NumberColumn);
        int column = mcLabel;
        for (QWidget* box : row.ValueBoxes()) {
            Watch(box, memory, column++);
        }
    }
}

void TTableCommands::Watch(QWidget* box, int memory, int column) {
    cells_.insert(box, TCell{memory, column});
    box->installEventFilter(this);
}

QWidget* TTableCommands::Window() const {
    return panel_->window();
}

QWidget* TTableCommands::BoxOf(int memory, int column) const {
    const TMemoryRow& row = *rows_[static_cast<size_t>(memory)];
    return column == NumberColumn ? row.NumberBox() : row.ValueBoxes()[size_t(column)];
}

bool TTableCommands::eventFilter(QObject* watched, QEvent* event) {
    const auto found = cells_.constFind(watched);
    if (found == cells_.constEnd()) {
        return false;
    }
    const TCell cell = *found;
    auto* box = static_cast<QWidget*>(watched);
    switch (event->type()) {
    case QEvent::KeyPress:
        return KeyPressed(cell, box, *static_cast<QKeyEvent*>(event));
    case QEvent::ContextMenu: {
        const QPoint where = static_cast<QContextMenuEvent*>(event)->globalPos();
        if (cell.column == NumberColumn) {
            ShowRowMenu(cell.memory, where);
            return true;
        }
        return ShowValueMenu(cell, box, where);
    }
    case QEvent::MouseButtonPress: {
        const auto* press = static_cast<QMouseEvent*>(event);
        if (cell.column == NumberColumn && press->button() == Qt::LeftButton) {
            const bool extend = (press->modifiers() & Qt::ShiftModifier) && anchor_ != 0;
            if (!extend) {
                anchor_ = cell.memory;
            }
            SelectRange(std::min(anchor_, cell.memory), std::max(anchor_, cell.memory));
        }
        return false;
    }
    default:
        return false;
    }
}

bool TTableCommands::KeyPressed(const TCell& cell, QWidget* box, const QKeyEvent& key) {
    const bool alt = (key.modifiers() & ~Qt::KeypadModifier) == Qt::AltModifier;
    if (alt && (key.key() == Qt::Key_Up || key.key() == Qt::Key_Down)) {
        const int moved = MoveMemory(cell.memory, key.key() == Qt::Key_Up ? -1 : 1);
        if (moved != 0) {
            // The focus goes along, so that the next Alt+Up moves the same memory on.
            QWidget* follow = BoxOf(moved, cell.column);
            follow->setFocus(Qt::OtherFocusReason);
            panel_->ensureWidgetVisible(follow);
        }
        return true;
    }
    if (key.matches(QKeySequence::Undo)) {
        const QLineEdit* edit = TextFieldOf(box);
        if (edit != nullptr && edit->isUndoAvailable()) {
            return false; // the field's own typing comes first
        }
        UndoTableCommand();
        return true;
    }
    if (key.matches(QKeySequence::Paste) && cell.column != NumberColumn) {
        return PasteCells(cell);
    }
    return false;
}

bool TTableCommands::ShowValueMenu(const TCell& cell, QWidget* box, const QPoint& globalPos) {
    auto* edit = qobject_cast<QLineEdit*>(box);
    if (edit == nullptr) {
        return false;
    }
    // The field's own menu, whose Paste fills a block when the clipboard holds one.
    QMenu* menu = edit->createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    // Qt names the item only by its caption, which is translated, and its shortcut after a tab.
    const QString pasteKey = QKeySequence(QKeySequence::Paste).toString(QKeySequence::NativeText);
    for (QAction* action : menu->actions()) {
        if (action->text().section(u'\t', 1) == pasteKey) {
            action->disconnect();
            connect(action, &QAction::triggered, edit, [this, cell, edit] {
                if (!PasteCells(cell)) {
                    edit->paste();
                }
            });
        }
    }
    menu->popup(globalPos);
    return true;
}

void TTableCommands::ShowRowMenu(int memory, const QPoint& globalPos) {
    if (memory < first_ || memory > last_) {
        anchor_ = memory;
        SelectRange(memory, memory);
    }
    auto* menu = new QMenu(Window());
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const int first = first_;
    const int last = last_;
    menu->addAction(QStringLiteral("Copy Memories"), this,
                    [=, this] { CopyMemories(first, last); });
    menu->addSeparator();
    // Nothing that writes many memories while a transfer reads or writes them.
    const bool free = !host_.transferRunning();
    const auto add = [&](const std::string& caption, bool enabled, auto command) {
        QAction* action = menu->addAction(Text(caption), this, command);
        action->setEnabled(free && enabled);
        return action;
    };
    add("Insert Empty Memory Here", true, [=, this] { InsertEmptyMemoryAt(memory); });
    add(DeleteName, true, [=, this] { DeleteMemoryAt(memory); });
    const std::pair<const char*, int> moves[] = {{"Move Up", -1}, {"Move Down", 1}};
    for (const auto& [caption, step] : moves) {
        QAction* move = add(caption, MemoryRowOf(rows_, memory + step) != nullptr, [=, this] {
            if (const int moved = MoveMemory(memory, step); moved != 0) {
                anchor_ = moved;
                SelectRange(moved, moved);
            }
        });
        // Shown as the shortcut it is in the fields, which the filter serves.
        move->setShortcut(QKeySequence(Qt::ALT | (step < 0 ? Qt::Key_Up : Qt::Key_Down)));
        move->setShortcutContext(Qt::WidgetShortcut);
        move->setShortcutVisibleInContextMenu(true);
    }
    menu->addSeparator();
    const std::string undoCaption = undo_.Caption();
    add(undoCaption.empty() ? "Undo" : undoCaption, undo_.Available(), [this] { ApplyUndo(); });
    menu->popup(globalPos);
}

void TTableCommands::SelectRange(int first, int last) {
    first_ = first;
    last_ = last;
    look_.Select(first, last);
}

void TTableCommands::UndoTableCommand() {
    if (undo_.Available() && !undo_.Undone()) {
        ApplyUndo();
    }
}

void TTableCommands::ApplyUndo() {
    if (host_.refuseDuringTransfer()) {
        return;
    }
    const bool undoing = !undo_.Undone();
    undo_.Apply(rows_);
    host_.status((undoing ? "Undone: " : "Redone: ") + undo_.Name());
}

void TTableCommands::CopyMemories(int first, int last) {
    QApplication::clipboard()->setText(ToControlText(CopyCellBlock(rows_, first, last)));
    host_.status("Copied " + Memories(first, last));
}

void TTableCommands::InsertEmptyMemoryAt(int memory) {
    if (host_.refuseDuringTransfer()) {
        return;
    }
    TMemoryRow& last = *rows_[MemoryCount];
    if (!IsEmptyMemory(ReadMemory(last))) {
        QMessageBox question(
            QMessageBox::Warning, Text(InsertName),
            QStringLiteral("Memory 100 holds \"%1\" (RX Freq %2). Inserting an "
                           "empty memory moves it out of the table.")
                .arg(ToControlText(last.GetLabel()), ToControlText(last.GetRxFreq())),
            QMessageBox::Cancel, Window());
        question.setTextFormat(Qt::PlainText);
        question.setInformativeText(
            QStringLiteral("Insert an empty memory at %1 and lose memory 100?").arg(memory));
        QPushButton* insert = question.addButton(QStringLiteral("Insert"), QMessageBox::AcceptRole);
        question.setDefaultButton(QMessageBox::Cancel);
        question.exec();
        if (question.clickedButton() != insert) {
            return;
        }
    }
    const TUndoStep step(undo_, rows_, InsertName);
    InsertEmptyMemory(rows_, memory);
    host_.status("Inserted an empty memory at " + std::to_string(memory) +
                 (memory < MemoryCount
                      ? "; " + Memories(memory, MemoryCount - 1) + " moved down one"
                      : std::string()));
}

void TTableCommands::DeleteMemoryAt(int memory) {
    if (host_.refuseDuringTransfer()) {
        return;
    }
    const TUndoStep step(undo_, rows_, DeleteName);
    DeleteMemory(rows_, memory);
    host_.status("Deleted memory " + std::to_string(memory) +
                 (memory < MemoryCount ? "; " + Memories(memory + 1, MemoryCount) + " moved up one"
                                       : std::string()));
}

int TTableCommands::MoveMemory(int memory, int step) {
    const int target = memory + step;
    if (MemoryRowOf(rows_, target) == nullptr || host_.refuseDuringTransfer()) {
        return 0;
    }
    const TUndoStep undoStep(undo_, rows_, step < 0 ? "Move Up" : "Move Down");
    SwapMemories(rows_, memory, target);
    host_.status("Moved memory " + std::to_string(memory) + (step < 0 ? " up" : " down") + " to " +
                 std::to_string(target));
    return target;
}

bool TTableCommands::PasteCells(const TCell& cell) {
    const std::string text = FromControlText(QApplication::clipboard()->text());
    if (!IsCellBlock(text)) {
        return false;
    }
    if (host_.refuseDuringTransfer()) {
        return true;
    }
    const TUndoStep step(undo_, rows_, PasteName);
    const TPastedCells pasted =
        PasteCellBlock(rows_, SplitCellBlock(text), cell.memory, TMemoryColumn(cell.column));
    std::string status = "Pasted " + Counted(size_t(pasted.pasted), "cell", "cells") + " into " +
                         Memories(pasted.firstMemory, pasted.lastMemory);
    if (pasted.dropped > 0) {
        status += "; " + Counted(size_t(pasted.dropped), "cell", "cells") +
                  " past memory 100 or the Code column dropped";
    }
    AppendNotes(status, pasted.labels.Notes("Label", "Labels"));
    host_.status(status);
    return true;
}
