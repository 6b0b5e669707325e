#pragma once

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>

namespace radiosim {

// Writes the radio's log, one line per event: ISO time, seconds since start, a marker and the
// text. Markers: "<" a command received, ">" bytes sent, "#" a note. Bytes are escaped so that
// each event stays one printable line. Each line is flushed at once so the log can be followed.
class LogWriter {
public:
    using Clock = std::chrono::steady_clock;

    // An empty path logs to standard error; otherwise the file is appended to. Throws
    // std::runtime_error if the file cannot be opened.
    LogWriter(const std::string& path, Clock::time_point start);
    ~LogWriter();
    LogWriter(const LogWriter&) = delete;
    LogWriter& operator=(const LogWriter&) = delete;

    void Received(std::string_view command, Clock::time_point at);
    void Sent(std::string_view bytes, Clock::time_point at);
    void Note(std::string_view text);

private:
    void Write(char marker, std::string_view text, Clock::time_point at);

    std::mutex mutex_;
    std::FILE* file_;
    bool ownsFile_;
    Clock::time_point start_;
    std::chrono::system_clock::time_point wallStart_;
};

} // namespace radiosim
