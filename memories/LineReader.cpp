#include "memories/LineReader.h"

#include <cerrno>

TLineReader::TLineReader(int descriptor, size_t lineLimit, ReadFunction read, TLineEnds ends)
    : descriptor_(descriptor), lineLimit_(lineLimit), read_(std::move(read)), ends_(ends) {}

bool TLineReader::Fill() {
    char chunk[4096];
    for (;;) {
        const ssize_t count = read_(descriptor_, chunk, sizeof chunk);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            failed_ = true;
            return false;
        }
        if (count == 0) {
            endOfFile_ = true;
            return false;
        }
        pending_.append(chunk, static_cast<size_t>(count));
        return true;
    }
}

size_t TLineReader::LineEnd() const {
    if (ends_ == TLineEnds::LineFeed) {
        return pending_.find('\n');
    }
    const size_t end = pending_.find_first_of("\r\n");
    // A CR that came last may be the first half of a CR LF.
    if (end != std::string::npos && end + 1 == pending_.size() && pending_[end] == '\r' &&
        !endOfFile_) {
        return std::string::npos;
    }
    return end;
}

TLineReader::TResult TLineReader::Next(std::string& line) {
    // Room for the limit plus CR LF is all one line may need; more without its end is too long.
    size_t end;
    while ((end = LineEnd()) == std::string::npos && pending_.size() <= lineLimit_ + 1 &&
           !endOfFile_) {
        if (!Fill() && failed_) {
            return TResult::Error;
        }
    }
    if (end == std::string::npos && pending_.empty()) {
        return TResult::End;
    }
    ++lineNumber_;
    size_t length = end == std::string::npos ? pending_.size() : end;
    size_t consumed = end == std::string::npos ? pending_.size() : end + 1;
    if (end != std::string::npos && pending_[end] == '\n' && length > 0 &&
        pending_[length - 1] == '\r') {
        --length;
    } else if (end != std::string::npos && pending_[end] == '\r' && consumed < pending_.size() &&
               pending_[consumed] == '\n') {
        ++consumed;
    }
    if (length > lineLimit_) {
        return TResult::TooLong;
    }
    line.assign(pending_, 0, length);
    pending_.erase(0, consumed);
    return TResult::Line;
}
