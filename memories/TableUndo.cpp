#include "memories/TableUndo.h"

TTableSnapshot ReadTable(const TMemoryRows& rows) {
    TTableSnapshot snapshot;
    for (int number = 1; number <= MemoryCount; ++number) {
        snapshot[static_cast<size_t>(number - 1)] = ReadMemory(*rows[static_cast<size_t>(number)]);
    }
    return snapshot;
}

void WriteTable(const TMemoryRows& rows, const TTableSnapshot& snapshot) {
    for (int number = 1; number <= MemoryCount; ++number) {
        WriteMemory(*rows[static_cast<size_t>(number)], snapshot[static_cast<size_t>(number - 1)]);
    }
}

void TTableUndo::Record(const TMemoryRows& rows, const std::string& name) {
    earlier_ = std::move(kept_);
    kept_ = TKept{ReadTable(rows), name, false};
}

void TTableUndo::Begin(const TMemoryRows& rows, const std::string& name) {
    if (openSteps_++ == 0) {
        Record(rows, name);
    }
}

void TTableUndo::End(const TMemoryRows& rows) {
    if (--openSteps_ > 0) {
        return;
    }
    if (kept_ && !kept_->undone && kept_->table == ReadTable(rows)) {
        kept_ = std::move(earlier_);
    }
    earlier_.reset();
}

const std::string& TTableUndo::Name() const {
    static const std::string none;
    return kept_ ? kept_->name : none;
}

std::string TTableUndo::Caption() const {
    if (!kept_) {
        return {};
    }
    return (kept_->undone ? "Redo " : "Undo ") + kept_->name;
}

std::string TTableUndo::Apply(const TMemoryRows& rows) {
    if (!kept_) {
        return {};
    }
    const std::string caption = Caption();
    TTableSnapshot current = ReadTable(rows);
    WriteTable(rows, kept_->table);
    kept_->table = std::move(current);
    kept_->undone = !kept_->undone;
    earlier_.reset();
    return caption;
}

TUndoStep::TUndoStep(TTableUndo& undo, const TMemoryRows& rows, const std::string& name)
    : undo_(undo), rows_(rows) {
    undo_.Begin(rows_, name);
}

TUndoStep::~TUndoStep() {
    try {
        undo_.End(rows_);
    } catch (...) {
        // The table could not be read back: keeping the record is the safe side.
    }
}
