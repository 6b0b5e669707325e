#pragma once

#include "memories/AtomicFileWriter.h"
#include "memories/LineReader.h"
#include "memories/MemoryTable.h"
#include "memories/Outcome.h"

#include <string>

// The longest line a memory file may hold, line end not counted.
inline constexpr size_t MemoryFileLineLimit = 79;

// Writes the 100 record lines, each ended by CR LF, to `fileName`, reporting on `status`. The file
// is replaced only when every line reached the disk; otherwise it stays as it was, and the outcome
// did not succeed.
TOutcome SaveMemoryFile(const TMemoryRows& rows, const std::string& fileName,
                        const TStatusSink& status,
                        const TAtomicFileWriter::WriteFunction& write = ::write);

// Reads the record lines of `fileName` into the table, in file order. A line whose memory number
// is not an integer raises EConvertError; the lines before it stay applied. The outcome succeeds
// when the whole file was read, and counts the lines read.
TOutcome LoadMemoryFile(const TMemoryRows& rows, const std::string& fileName,
                        const TStatusSink& status, const TLineReader::ReadFunction& read = ::read);
