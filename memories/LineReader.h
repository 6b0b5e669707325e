#pragma once

#include <functional>
#include <string>
#include <sys/types.h>
#include <unistd.h>

// Reads a memory file line by line. A line ends at a line feed; a carriage return right before it
// belongs to the line end. A line longer than the limit (line end not counted) stops reading.
class TLineReader {
public:
    using ReadFunction = std::function<ssize_t(int descriptor, void* data, size_t size)>;
    enum class TResult { Line, End, TooLong, Error };
    // Memory files end lines at LF; files of other programs may also end them at a lone CR, as
    // old Macintosh programs wrote them.
    enum class TLineEnds { LineFeed, AnyOfCrLf };

    TLineReader(int descriptor, size_t lineLimit, ReadFunction read = ::read,
                TLineEnds ends = TLineEnds::LineFeed);

    // The next line, without its line end. The last line needs no line end.
    TResult Next(std::string& line);
    // The 1-based number of the line last handed out, or that was too long.
    int LineNumber() const { return lineNumber_; }

private:
    bool Fill();
    // Where the first line waiting ends, or npos when more must come first.
    size_t LineEnd() const;

    int descriptor_;
    size_t lineLimit_;
    ReadFunction read_;
    TLineEnds ends_;
    std::string pending_;
    bool endOfFile_ = false;
    bool failed_ = false;
    int lineNumber_ = 0;
};
