#pragma once

#include "memories/MemoryValues.h"

#include <optional>
#include <string>

// The values of memories 1 to 100, in that order.
using TTableSnapshot = std::array<TMemoryValues, MemoryCount>;

TTableSnapshot ReadTable(const TMemoryRows& rows);
// Sets, through the row setters, every value that differs from the snapshot.
void WriteTable(const TMemoryRows& rows, const TTableSnapshot& snapshot);

// One level of undo for the commands that change many memories at once. A command records the
// table before it changes it; undoing puts that table back and keeps the one it replaced, so the
// undo can itself be taken back (redo) and nothing typed meanwhile is lost for good.
class TTableUndo {
public:
    // Keeps the table as it is now under the command's `name` (its caption, as "Delete Memory"),
    // in place of what was kept before.
    void Record(const TMemoryRows& rows, const std::string& name);
    // Record for a command that runs between the two calls; when the table is still what Begin
    // saw at End, the earlier command stays the one to undo. Nested, only the outermost counts.
    void Begin(const TMemoryRows& rows, const std::string& name);
    void End(const TMemoryRows& rows);

    bool Available() const { return kept_.has_value(); }
    bool Undone() const { return kept_ && kept_->undone; }
    const std::string& Name() const;
    // "Undo " or "Redo " and the name; empty when nothing is kept.
    std::string Caption() const;
    // Undoes the command, or redoes it when it is undone; returns the caption that was carried out.
    std::string Apply(const TMemoryRows& rows);

private:
    struct TKept {
        TTableSnapshot table;
        std::string name;
        bool undone = false;
    };
    std::optional<TKept> kept_;
    std::optional<TKept> earlier_;
    int openSteps_ = 0;
};

// Begin and End of TTableUndo around a scope: the command's table is recorded, and forgotten again
// if the command changed nothing (a file that did not open, a paste of what was there).
class TUndoStep {
public:
    TUndoStep(TTableUndo& undo, const TMemoryRows& rows, const std::string& name);
    ~TUndoStep();
    TUndoStep(const TUndoStep&) = delete;
    TUndoStep& operator=(const TUndoStep&) = delete;

private:
    TTableUndo& undo_;
    const TMemoryRows& rows_;
};
