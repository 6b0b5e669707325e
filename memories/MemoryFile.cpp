#include "memories/MemoryFile.h"

#include "memories/ReadableFile.h"
#include "memories/RecordLine.h"

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
