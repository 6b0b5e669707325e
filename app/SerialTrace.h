#pragma once

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

class TVaCustomComm;

// A serial trace for bug reports: each opening and closing of the port with its settings, and
// every byte the editor sends and receives, one exchange per line with the time of day in
// milliseconds, the direction, the bytes in hex and as text. Written only when the environment
// variable Q4471_TRACE names the file. Called from the GUI and the transfer threads.
class TSerialTrace {
public:
    // The trace that Q4471_TRACE asks for, or none. A file that cannot be opened is reported on
    // the standard error, and the editor runs without a trace.
    static std::unique_ptr<TSerialTrace> FromEnvironment();

    // Appends to `fileName`; throws std::system_error when it cannot be opened.
    explicit TSerialTrace(const std::string& fileName);
    ~TSerialTrace();
    TSerialTrace(const TSerialTrace&) = delete;
    TSerialTrace& operator=(const TSerialTrace&) = delete;

    void Opened(const TVaCustomComm& comm);
    void OpenFailed(const TVaCustomComm& comm, const std::string& reason);
    void Closed(const TVaCustomComm& comm);
    // `whole`: whether the port took every byte.
    void Sent(std::string_view bytes, bool whole);
    void Received(std::string_view bytes);

private:
    void Write(const std::string& line);

    std::mutex mutex_; // a leaf lock: held only to write one line
    std::FILE* file_;
};
