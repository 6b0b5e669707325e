#pragma once

#include <QPlainTextEdit>
#include <QTimer>
#include <functional>
#include <string>

// The traffic as it comes, kept up with a continuous stream: lines handed in are held back and
// appended in one go at most FlushMs later, so that a burst of small runs costs one layout and
// one repaint, not one each; only the newest MaxLines lines are kept, so memory stays bounded
// however long the monitor runs. Read-only for the user; scrolling up holds the view still while
// lines keep coming.
//
// A repaint lays out every line in sight anew while a stream scrolls them by, which makes the
// repaints the bulk of a stream's cost: ten a second keep a 115,200-baud stream under 5 % of a
// core, twenty did not, and a tenth of a second reads as at once.
class TTrafficView : public QPlainTextEdit {
public:
    static constexpr int MaxLines = 10000;
    static constexpr int FlushMs = 100;

    explicit TTrafficView(QWidget* parent = nullptr);

    // Adds lines (joined by '\n', none after the last); they show within FlushMs.
    void AddLines(const std::string& lines);
    // Shows the held-back lines now.
    void Flush();
    // Drops every line, shown or held back.
    void ClearLines();
    // Whether older lines have been dropped to stay within MaxLines.
    bool Trimmed() const { return trimmed_; }

    // Runs after each append, for whatever shows alongside the lines.
    std::function<void()> OnFlushed;

private:
    QTimer flushTimer_;
    std::string pending_;
    long long linesAdded_ = 0;
    bool trimmed_ = false;
};
