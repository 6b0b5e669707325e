#include "memories/MemoryFile.h"

#include "memories/ReadableFile.h"
#include "memories/RecordLine.h"

TOutcome SaveMemoryFile(const TMemoryRows& rows, const std::string& fileName,
                        const TStatusSink& status, const TAtomicFileWriter::WriteFunction& write) {
    status("Opening " + fileName + " for writing...");
    TAtomicFileWriter writer(write);
    if (!writer.Open(fileName)) {
        return Reported(status, TOutcome::Failed("Unable to open " + fileName + ", exiting"));
    }
    std::string record;
    std::size_t written = 0;
    for (int number = 1; number <= MemoryCount && ComposeRecord(rows, number, record); ++number) {
        if (!writer.Write(record + "\r\n")) {
            break; // Commit refuses a writer that failed
        }
        ++written;
    }
    if (!writer.Commit()) {
        return Reported(status, TOutcome::Failed("Unable to write " + fileName + ", exiting"));
    }
    return Reported(status,
                    TOutcome::Succeeded(written, "Closing " + fileName + ", writing successful"));
}

TOutcome LoadMemoryFile(const TMemoryRows& rows, const std::string& fileName,
                        const TStatusSink& status, const TLineReader::ReadFunction& read) {
    const SerialPlatform::FileDescriptor descriptor = OpenForReading(fileName);
    status("Opening " + fileName + " for reading...");
    if (!descriptor.Valid()) {
        return Reported(status, TOutcome::Failed("Unable to open " + fileName + ", exiting"));
    }
    TLineReader reader(descriptor.Get(), MemoryFileLineLimit, read);
    std::string line;
    std::size_t lines = 0;
    for (;;) {
        switch (reader.Next(line)) {
        case TLineReader::TResult::Line:
            ParseRecord(rows, line);
            ++lines;
            continue;
        case TLineReader::TResult::End:
            return Reported(
                status, TOutcome::Succeeded(lines, "Closing " + fileName + ", reading successful"));
        case TLineReader::TResult::TooLong:
            return Reported(
                status,
                TOutcome::Failed("Reading " + fileName + " stopped: line " +
                                     std::to_string(reader.LineNumber()) + " is longer than " +
                                     std::to_string(MemoryFileLineLimit) + " characters",
                                 lines));
        case TLineReader::TResult::Error:
            return Reported(status, TOutcome::Failed("Reading " + fileName + " stopped: line " +
                                                         std::to_string(reader.LineNumber() + 1) +
                                                         " could not be read",
                                                     lines));
        }
    }
}
