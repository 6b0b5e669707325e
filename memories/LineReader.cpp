#include "memories/LineReader.h"

#include <cerrno>
#include <cstring>

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
    const size_t lineFeed = pending_.find('\n');
    if (ends_ == TLineEnds::LineFeed) {
        return lineFeed;
    }
    // Only a CR before the first LF can end the line earlier.
    const size_t before = lineFeed == std::string::npos ? pending_.size() : lineFeed;
    const auto* carriageReturn =
        static_cast<const char*>(std::memchr(pending_.data(), '\r', before));
    if (carriageReturn == nullptr) {
        return lineFeed;
    }
    const size_t end = static_cast<size_t>(carriageReturn - pending_.data());
    // A CR that came last may be the first half of a CR LF.
    return end + 1 == pending_.size() && !endOfFile_ ? std::string::npos : end;
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
