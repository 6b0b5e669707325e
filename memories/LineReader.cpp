#include "memories/LineReader.h"

#include <cerrno>

TLineReader::TLineReader(int descriptor, size_t lineLimit, ReadFunction read)
    : descriptor_(descriptor), lineLimit_(lineLimit), read_(std::move(read)) {}

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

TLineReader::TResult TLineReader::Next(std::string& line) {
    // Room for the limit plus CR LF is all one line may need; more without a LF is too long.
    size_t lineFeed;
    while ((lineFeed = pending_.find('\n')) == std::string::npos &&
           pending_.size() <= lineLimit_ + 1 && !endOfFile_) {
        if (!Fill() && failed_) {
            return TResult::Error;
        }
    }
    if (lineFeed == std::string::npos && pending_.empty()) {
        return TResult::End;
    }
    ++lineNumber_;
    size_t length = lineFeed == std::string::npos ? pending_.size() : lineFeed;
    if (lineFeed != std::string::npos && length > 0 && pending_[length - 1] == '\r') {
        --length;
    }
    if (length > lineLimit_) {
        return TResult::TooLong;
    }
    line.assign(pending_, 0, length);
    pending_.erase(0, lineFeed == std::string::npos ? pending_.size() : lineFeed + 1);
    return TResult::Line;
}
