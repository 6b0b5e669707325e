#include "memories/CsvFile.h"

#include "memories/CsvFields.h"
#include "memories/RadioCsvRow.h"
#include "memories/ReadableFile.h"
#include "memories/RecordLabel.h"

#include <q4471/framework/Counted.h>
#include <q4471/framework/Exception.h>

#include <algorithm>
#include <set>
#include <sys/stat.h>

using namespace q4471;

namespace {

// A file that cannot be read as CSV at all; the table is as it was.
class ECsvFileError : public Exception {
public:
    using Exception::Exception;
};

// Far beyond any list of radio memories: a larger file is something else, refused before it can
// hold the window.
constexpr off_t LargestCsvFile = 4 * 1024 * 1024;
constexpr int MostCsvRows = 10000;
constexpr size_t MostCsvFields = 1000;
constexpr size_t LongestCsvLine = 64 * 1024;
// The details box lists this many; the rest are counted.
constexpr size_t MostDetails = 200;
const std::string ByteOrderMark = "\xef\xbb\xbf";

// The radio programs write notes above the header, and users add them between rows.
bool IsComment(const std::string& line) {
    return !line.empty() && line[0] == '#';
}

bool HoldsControlCharacter(const std::string& line) {
    return std::any_of(line.begin(), line.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\r';
    });
}

// A data row read, with the line it started on.
struct TReadRow {
    int line;
    TCsvMemory memory;
};

// Reads a whole CSV file before the table is touched, so that a file refused halfway changes
// nothing.
class TCsvReader {
public:
    explicit TCsvReader(const std::string& fileName) : fileName_(fileName) {}

    void Read(int descriptor, const TLineReader::ReadFunction& read) {
        struct stat info {};
        if (fstat(descriptor, &info) == 0 && info.st_size > LargestCsvFile) {
            Refuse("it is " + std::to_string(info.st_size) +
                   " bytes, more than a CSV of radio memories holds (at most " +
                   std::to_string(LargestCsvFile) + ")");
        }
        TLineReader reader(descriptor, LongestCsvLine, read, TLineReader::TLineEnds::AnyOfCrLf);
        std::string line;
        for (;;) {
            switch (reader.Next(line)) {
            case TLineReader::TResult::Line:
                TakeLine(line, reader.LineNumber());
                continue;
            case TLineReader::TResult::End:
                if (open_) {
                    Skip(recordLine_, "a quoted field is not closed");
                }
                if (!header_) {
                    Refuse(notes_ ? "it holds only notes (lines starting with #)" : "it is empty");
                }
                return;
            case TLineReader::TResult::TooLong:
                Refuse("line " + std::to_string(reader.LineNumber()) + " is longer than " +
                       std::to_string(LongestCsvLine) + " characters");
            case TLineReader::TResult::Error:
                Refuse("line " + std::to_string(reader.LineNumber() + 1) + " could not be read");
            }
        }
    }

    // Writes the rows into the memories they name; answers the status text, and in the details
    // what was skipped or changed, in the file's order.
    TOutcome Apply(const TMemoryRows& rows) {
        const long long shift = LocationShift();
        TApplied applied;
        for (TReadRow& row : read_) {
            ApplyRow(row, shift, rows, applied);
        }
        TOutcome outcome;
        outcome.details = Details(applied.sendOnlyTones);
        outcome.succeeded = true;
        outcome.memories = applied.loaded.size();
        outcome.statusText = StatusText(applied, shift);
        return outcome;
    }

private:
    // What the rows written so far came to, for the status text.
    struct TApplied {
        std::set<long long> loaded;
        size_t droppedTones = 0;
        size_t sendOnlyTones = 0;
        TFittedLabels fittedNames;
        int replaced = 0;
    };

    // 1 when the file counts its locations from 0, as many radios do; else 0.
    long long LocationShift() const {
        long long lowest = 1;
        for (const TReadRow& row : read_) {
            lowest = std::min(lowest, row.memory.location);
        }
        return lowest == 0 ? 1 : 0;
    }

    void ApplyRow(TReadRow& row, long long shift, const TMemoryRows& rows, TApplied& applied) {
        const long long number = row.memory.location + shift;
        TMemoryRow* memory = MemoryRowOf(rows, number);
        if (memory == nullptr) {
            Skip(row.line, "Location " + std::to_string(row.memory.location) +
                               (shift ? " (moved up by one as the file counts from 0)" : "") +
                               " names no memory 1 to 100");
            return;
        }
        TCsvMemory& read = row.memory;
        const std::string where =
            "line " + std::to_string(row.line) + ", memory " + std::to_string(number) + ": ";
        if (!read.droppedTone.empty()) {
            ++applied.droppedTones;
            AddDetail(row.line, where + "loaded without its tone: " + read.droppedTone);
        }
        if (read.replacedCharacters > 0) {
            applied.replaced += read.replacedCharacters;
            AddDetail(row.line, where +
                                    Counted(static_cast<size_t>(read.replacedCharacters),
                                            "character", "characters") +
                                    " of its Name shown as ?, as the table cannot hold them");
        }
        const TFittedLabel name = FitLabel(static_cast<int>(number), read.values);
        applied.fittedNames.Add(name);
        if (name.commaReplaced) {
            AddDetail(row.line, where + "comma replaced");
        }
        if (name.lineBreakReplaced) {
            AddDetail(row.line, where + "line break replaced");
        }
        if (name.cut) {
            AddDetail(row.line, where + "name cut to " +
                                    Counted(name.label.size(), "character", "characters"));
        }
        read.values[mcLabel] = name.label;
        applied.sendOnlyTones += read.sendOnlyTone ? 1 : 0;
        WriteMemory(*memory, read.values);
        applied.loaded.insert(number);
    }

    // The details box's lines: the send-only tones, then each row's in the file's order, the
    // first MostDetails of them.
    TFileDetails Details(size_t sendOnlyTones) {
        TFileDetails details;
        std::stable_sort(details_.begin(), details_.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        if (sendOnlyTones > 0) {
            details.push_back(
                Counted(sendOnlyTones, "send-only tone (Tone) was", "send-only tones (Tone) were") +
                " loaded as CTCSS, which also listens for the tone; a CSV saved "
                "from the table writes them as TSQL");
        }
        for (const auto& [line, detail] : details_) {
            if (details.size() == MostDetails) {
                details.push_back("and " + std::to_string(details_.size() - MostDetails) + " more");
                break;
            }
            details.push_back(detail);
        }
        return details;
    }

    std::string StatusText(const TApplied& applied, long long shift) const {
        if (applied.loaded.empty() && skipped_ == 0) {
            return "Read no memories from " + fileName_ +
                   ": it holds no rows below its header line";
        }
        std::vector<std::string> notes;
        if (skipped_ > 0) {
            notes.push_back(Counted(skipped_, "row skipped", "rows skipped"));
        }
        if (applied.droppedTones > 0) {
            notes.push_back(Counted(applied.droppedTones, "tone dropped", "tones dropped"));
        }
        if (applied.replaced > 0) {
            notes.push_back(
                Counted(static_cast<size_t>(applied.replaced), "character", "characters") +
                " shown as ?");
        }
        const std::vector<std::string> nameNotes = applied.fittedNames.Notes("name", "names");
        notes.insert(notes.end(), nameNotes.begin(), nameNotes.end());
        std::string text =
            "Read " + Counted(applied.loaded.size(), "memory", "memories") + " from " + fileName_;
        AppendNotes(text, notes);
        if (shift != 0) {
            text += "; locations counted from 0 moved up by one";
        }
        return text;
    }

    [[noreturn]] void Refuse(const std::string& why) {
        throw ECsvFileError(fileName_ + " was not loaded: " + why);
    }

    void Skip(int line, const std::string& why) {
        ++skipped_;
        AddDetail(line, "line " + std::to_string(line) + " skipped: " + why);
    }

    void AddDetail(int line, const std::string& detail) { details_.emplace_back(line, detail); }

    void TakeLine(const std::string& line, int lineNumber) {
        if (HoldsControlCharacter(line)) {
            Refuse("line " + std::to_string(lineNumber) +
                   " holds a control character: it is not a text file");
        }
        const bool marked = lineNumber == 1 && line.rfind(ByteOrderMark, 0) == 0;
        const std::string unmarked = marked ? line.substr(ByteOrderMark.size()) : std::string();
        const std::string& text = marked ? unmarked : line;
        if (!open_ && IsComment(text)) {
            notes_ = true;
            return;
        }
        if (!open_) {
            recordLine_ = lineNumber;
        }
        const bool whole = splitter_.Take(text);
        open_ = !whole;
        if (splitter_.Length() > LongestCsvLine) {
            Refuse("the row from line " + std::to_string(recordLine_) + " is longer than " +
                   std::to_string(LongestCsvLine) + " characters");
        }
        if (!whole) {
            return; // a quoted field goes on on the next line
        }
        const std::vector<std::string>& fields = splitter_.Fields();
        const bool blank = fields.size() == 1 && Trimmed(fields[0]).empty();
        if (fields.size() > MostCsvFields) {
            Refuse("line " + std::to_string(recordLine_) + " holds " +
                   std::to_string(fields.size()) + " fields, more than " +
                   std::to_string(MostCsvFields));
        }
        if (!header_) {
            header_ = TCsvHeader::Of(fields);
            if (!header_) {
                Refuse("its first line names no Location and Frequency columns, as the header "
                       "of a CSV of radio memories does");
            }
            return;
        }
        if (blank) {
            return;
        }
        if (++rows_ > MostCsvRows) {
            Refuse("it holds more than " + std::to_string(MostCsvRows) +
                   " rows, more than a CSV of radio memories does");
        }
        TReadRow row{recordLine_, {}};
        std::string problem;
        if (ReadCsvRow(*header_, fields, row.memory, problem)) {
            read_.push_back(std::move(row));
        } else {
            Skip(recordLine_, problem);
        }
    }

    const std::string& fileName_;
    std::vector<std::pair<int, std::string>> details_; // by the line they are about
    std::optional<TCsvHeader> header_;
    TCsvRecordSplitter splitter_;
    bool open_ = false; // a quoted field of the record goes on on the next line
    int recordLine_ = 0;
    int rows_ = 0;
    std::vector<TReadRow> read_;
    size_t skipped_ = 0;
    bool notes_ = false;
};

bool FirstLineIsCsvHeader(const std::string& fileName, const TLineReader::ReadFunction& read) {
    const SerialPlatform::FileDescriptor descriptor = OpenForReading(fileName);
    if (!descriptor.Valid()) {
        return false;
    }
    TLineReader reader(descriptor.Get(), LongestCsvLine, read, TLineReader::TLineEnds::AnyOfCrLf);
    std::string line;
    if (reader.Next(line) != TLineReader::TResult::Line) {
        return false;
    }
    if (line.rfind(ByteOrderMark, 0) == 0) {
        line.erase(0, ByteOrderMark.size());
    }
    while (IsComment(line)) {
        if (reader.Next(line) != TLineReader::TResult::Line) {
            return false;
        }
    }
    std::vector<std::string> fields;
    return SplitCsvRecord(line, fields) && TCsvHeader::Of(fields).has_value();
}

} // namespace

TOutcome SaveCsvFile(const TMemoryRows& rows, const std::string& fileName,
                     const TStatusSink& status, const TAtomicFileWriter::WriteFunction& write) {
    status("Opening " + fileName + " for writing...");
    TAtomicFileWriter writer(write);
    if (!writer.Open(fileName)) {
        return Reported(status, TOutcome::Failed("Unable to open " + fileName + ", exiting"));
    }
    TOutcome outcome;
    std::string text = CsvLine(RadioCsvColumns());
    size_t notWhole = 0;
    size_t leftOut = 0;
    for (int number = 1; number <= MemoryCount; ++number) {
        const TMemoryValues values = ReadMemory(*MemoryRowOf(rows, number));
        if (Trimmed(values[mcRxFreq]).empty()) {
            continue; // an empty channel
        }
        if (!CsvFrequencyOf(values[mcRxFreq])) {
            // Without its frequency a row would be read as 0 Hz, or as a memory that only sends.
            ++leftOut;
            outcome.details.push_back("memory " + std::to_string(number) + ": left out: RX Freq '" +
                                      values[mcRxFreq] + "' is not a frequency in MHz");
            continue;
        }
        std::vector<std::string> problems;
        text += CsvLine(ComposeCsvRow(number, values, problems));
        ++outcome.memories;
        if (!problems.empty()) {
            ++notWhole;
            outcome.details.push_back("memory " + std::to_string(number) + ": " +
                                      Joined(problems, "; "));
        }
    }
    if (!writer.Write(text) || !writer.Commit()) {
        return Reported(status, TOutcome::Failed("Unable to write " + fileName + ", exiting"));
    }
    outcome.succeeded = true;
    outcome.statusText = "Closing " + fileName + ", writing successful";
    std::vector<std::string> notes;
    if (notWhole > 0) {
        notes.push_back(Counted(notWhole, "memory", "memories") + " could not be written whole");
    }
    if (leftOut > 0) {
        notes.push_back(Counted(leftOut, "memory", "memories") + " left out");
    }
    AppendNotes(outcome.statusText, notes);
    return Reported(status, std::move(outcome));
}

TOutcome LoadCsvFile(const TMemoryRows& rows, const std::string& fileName,
                     const TStatusSink& status, const TLineReader::ReadFunction& read) {
    const SerialPlatform::FileDescriptor descriptor = OpenForReading(fileName);
    status("Opening " + fileName + " for reading...");
    if (!descriptor.Valid()) {
        return Reported(status, TOutcome::Failed("Unable to open " + fileName + ", exiting"));
    }
    TCsvReader reader(fileName);
    try {
        reader.Read(descriptor.Get(), read);
    } catch (const ECsvFileError& refused) {
        TOutcome outcome = TOutcome::Failed("Reading " + fileName + " stopped: nothing was loaded");
        outcome.refusal = refused.Message();
        return Reported(status, std::move(outcome));
    }
    return Reported(status, reader.Apply(rows));
}

TOutcome LoadAnyMemoryFile(const TMemoryRows& rows, const std::string& fileName,
                           const TStatusSink& status, const TLineReader::ReadFunction& read) {
    if (IsCsvFileName(fileName) || FirstLineIsCsvHeader(fileName, read)) {
        return LoadCsvFile(rows, fileName, status, read);
    }
    return LoadMemoryFile(rows, fileName, status, read);
}

bool IsCsvFileName(const std::string& fileName) {
    const size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || fileName.size() - dot != 4) {
        return false;
    }
    std::string extension = fileName.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == "csv";
}
