#pragma once

#include "framework/Exception.h"
#include "memories/MemoryFile.h"

#include <string>
#include <vector>

// Memories in the CSV layout of the hobby's radio programs, beside the editor's own memory files.

// What a load or save could not do as the file or the table asked: one line per row or memory,
// for the details the user may open.
using TFileDetails = std::vector<std::string>;

// A file that cannot be read as CSV at all; the table is as it was.
class ECsvFileError : public Exception {
public:
    using Exception::Exception;
};

// Writes a header and one row per memory that has an RX Freq, as the memory file is written: the
// file is replaced only when every byte reached the disk. A value that cannot be written as the
// format's number is left out of its row, a memory whose RX Freq is none is left out whole, and
// both are named in `details`.
bool SaveCsvFile(const TMemoryRows& rows, const std::string& fileName, const TStatusSink& status,
                 TFileDetails& details, const TAtomicFileWriter::WriteFunction& write = ::write);

// Reads the rows of a CSV file into the memories they name; other memories keep their values.
// Rows that cannot be read, name no memory or hold a mode other than FM, are skipped and named in
// `details`; so are Names changed to fit the record line. Lines starting with # are notes. A file
// that is no CSV of memories, or too large for one, raises ECsvFileError before any row changes.
void LoadCsvFile(const TMemoryRows& rows, const std::string& fileName, const TStatusSink& status,
                 TFileDetails& details, const TLineReader::ReadFunction& read = ::read);

// Load Existing File: a file named .csv, or whose first line is a CSV header naming Location and
// Frequency, is read as CSV; any other as a memory file.
void LoadAnyMemoryFile(const TMemoryRows& rows, const std::string& fileName,
                       const TStatusSink& status, TFileDetails& details,
                       const TLineReader::ReadFunction& read = ::read);

bool IsCsvFileName(const std::string& fileName);
