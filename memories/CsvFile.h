#pragma once

#include "memories/MemoryFile.h"

#include <string>

// Memories in the CSV layout of the hobby's radio programs, beside the editor's own memory files.

// Writes a header and one row per memory that has an RX Freq, as the memory file is written: the
// file is replaced only when every byte reached the disk. A value that cannot be written as the
// format's number is left out of its row, a memory whose RX Freq is none is left out whole, and
// both are named in the outcome's details.
TOutcome SaveCsvFile(const TMemoryRows& rows, const std::string& fileName,
                     const TStatusSink& status,
                     const TAtomicFileWriter::WriteFunction& write = ::write);

// Reads the rows of a CSV file into the memories they name; other memories keep their values.
// Rows that cannot be read, name no memory or hold a mode other than FM, are skipped and named in
// the outcome's details; so are Names changed to fit the record line. Lines starting with # are
// notes. A file that is no CSV of memories, or too large for one, is refused before any row
// changes: the outcome's refusal says why.
TOutcome LoadCsvFile(const TMemoryRows& rows, const std::string& fileName,
                     const TStatusSink& status, const TLineReader::ReadFunction& read = ::read);

// Load Existing File: a file named .csv, or whose first line is a CSV header naming Location and
// Frequency, is read as CSV; any other as a memory file.
TOutcome LoadAnyMemoryFile(const TMemoryRows& rows, const std::string& fileName,
                           const TStatusSink& status,
                           const TLineReader::ReadFunction& read = ::read);

bool IsCsvFileName(const std::string& fileName);
