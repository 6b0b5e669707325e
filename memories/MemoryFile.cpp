#include "memories/MemoryFile.h"

#include "memories/RecordLine.h"
#include "serial/platform/LinuxFileDescriptor.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace {

// Opens an existing regular file for reading; a folder, a pipe or a device counts as not openable
// and is not even opened: opening a named pipe waits for a writer, opening a serial line may wait
// for its carrier. The flags keep that so should the name change its kind before the open.
SerialPlatform::FileDescriptor OpenForReading(const std::string& fileName) {
    struct stat info {};
    if (stat(fileName.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return SerialPlatform::FileDescriptor();
    }
    SerialPlatform::FileDescriptor descriptor(
        open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (descriptor.Valid() && (fstat(descriptor.Get(), &info) != 0 || !S_ISREG(info.st_mode))) {
        return SerialPlatform::FileDescriptor();
    }
    return descriptor;
}

} // namespace

bool SaveMemoryFile(const TMemoryRows& rows, const std::string& fileName, const TStatusSink& status,
                    const TAtomicFileWriter::WriteFunction& write) {
    status("Opening " + fileName + " for writing...");
    TAtomicFileWriter writer(write);
    if (!writer.Open(fileName)) {
        status("Unable to open " + fileName + ", exiting");
        return false;
    }
    std::string record;
    for (int number = 1; number <= MemoryCount && ComposeRecord(rows, number, record); ++number) {
        if (!writer.Write(record + "\r\n")) {
            break; // Commit refuses a writer that failed
        }
    }
    if (!writer.Commit()) {
        status("Unable to write " + fileName + ", exiting");
        return false;
    }
    status("Closing " + fileName + ", writing successful");
    return true;
}

void LoadMemoryFile(const TMemoryRows& rows, const std::string& fileName, const TStatusSink& status,
                    const TLineReader::ReadFunction& read) {
    const SerialPlatform::FileDescriptor descriptor = OpenForReading(fileName);
    status("Opening " + fileName + " for reading...");
    if (!descriptor.Valid()) {
        status("Unable to open " + fileName + ", exiting");
        return;
    }
    TLineReader reader(descriptor.Get(), MemoryFileLineLimit, read);
    std::string line;
    for (;;) {
        switch (reader.Next(line)) {
        case TLineReader::TResult::Line:
            ParseRecord(rows, line);
            continue;
        case TLineReader::TResult::End:
            status("Closing " + fileName + ", reading successful");
            return;
        case TLineReader::TResult::TooLong:
            status("Reading " + fileName + " stopped: line " + std::to_string(reader.LineNumber()) +
                   " is longer than " + std::to_string(MemoryFileLineLimit) + " characters");
            return;
        case TLineReader::TResult::Error:
            status("Reading " + fileName + " stopped: line " +
                   std::to_string(reader.LineNumber() + 1) + " could not be read");
            return;
        }
    }
}
