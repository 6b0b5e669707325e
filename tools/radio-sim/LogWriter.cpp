#include "LogWriter.h"

#include "LogText.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace radiosim {

LogWriter::LogWriter(const std::string& path, Clock::time_point start)
    : file_(path.empty() ? stderr : std::fopen(path.c_str(), "ae")), ownsFile_(!path.empty()),
      start_(start), wallStart_(std::chrono::system_clock::now() -
                                std::chrono::duration_cast<std::chrono::system_clock::duration>(
                                    Clock::now() - start)) {
    if (file_ == nullptr) {
        throw std::runtime_error("cannot open log '" + path + "': " + std::strerror(errno));
    }
}

LogWriter::~LogWriter() {
    if (ownsFile_) {
        std::fclose(file_);
    }
}

void LogWriter::Received(std::string_view command, Clock::time_point at) {
    Write('<', EscapeBytes(command), at);
}

void LogWriter::Sent(std::string_view bytes, Clock::time_point at) {
    Write('>', EscapeBytes(bytes), at);
}

void LogWriter::Note(std::string_view text) {
    Write('#', text, Clock::now());
}

void LogWriter::Write(char marker, std::string_view text, Clock::time_point at) {
    const auto sinceStart = std::chrono::duration_cast<std::chrono::milliseconds>(at - start_);
    const auto wallTime =
        wallStart_ + std::chrono::duration_cast<std::chrono::system_clock::duration>(at - start_);
    std::lock_guard lock(mutex_);
    std::fprintf(file_, "%s %lld.%03lld %c %.*s\n", IsoTime(wallTime).c_str(),
                 static_cast<long long>(sinceStart.count() / 1000),
                 static_cast<long long>(sinceStart.count() % 1000), marker,
                 static_cast<int>(text.size()), text.data());
    std::fflush(file_);
}

} // namespace radiosim
