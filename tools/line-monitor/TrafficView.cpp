#include "TrafficView.h"

#include <QFontDatabase>
#include <algorithm>

namespace {

// Held-back text beyond this could never show, as the view keeps MaxLines lines only; a generous
// bound on a line's length keeps the newest ones.
constexpr std::size_t PendingLimit = std::size_t{TTrafficView::MaxLines} * 160;

} // namespace

TTrafficView::TTrafficView(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    // Wrapping would cost a layout of every line on each resize, and would break the columns.
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setMaximumBlockCount(MaxLines);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    // Every character the view shows is plain ASCII, which needs no shaping; shaping each new
    // line was the largest cost of a stream.
    font.setStyleStrategy(QFont::PreferNoShaping);
    font.setKerning(false);
    setFont(font);
    setUndoRedoEnabled(false);
    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(FlushMs);
    connect(&flushTimer_, &QTimer::timeout, this, [this] { Flush(); });
}

void TTrafficView::AddLines(const std::string& lines) {
    if (lines.empty()) {
        return;
    }
    if (!pending_.empty()) {
        pending_ += '\n';
    }
    pending_ += lines;
    if (pending_.size() > PendingLimit) {
        const std::size_t cut = pending_.find('\n', pending_.size() - PendingLimit);
        pending_.erase(0, cut == std::string::npos ? 0 : cut + 1);
        trimmed_ = true;
    }
    // Started by the first line held back, not ticking all the time: an idle line costs nothing.
    if (!flushTimer_.isActive()) {
        flushTimer_.start();
    }
}

void TTrafficView::Flush() {
    flushTimer_.stop();
    if (pending_.empty()) {
        return;
    }
    linesAdded_ += std::count(pending_.begin(), pending_.end(), '\n') + 1;
    trimmed_ = trimmed_ || linesAdded_ > MaxLines;
    // The bytes of a run are ASCII by construction (the format escapes every other byte); only
    // a note may quote a name typed by the user.
    appendPlainText(QString::fromUtf8(pending_.data(), static_cast<qsizetype>(pending_.size())));
    pending_.clear();
    if (OnFlushed) {
        OnFlushed();
    }
}

void TTrafficView::ClearLines() {
    flushTimer_.stop();
    pending_.clear();
    clear();
    linesAdded_ = 0;
    trimmed_ = false;
}
