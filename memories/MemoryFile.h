#pragma once

#include "memories/AtomicFileWriter.h"
#include "memories/LineReader.h"
#include "memories/MemoryTable.h"

#include <functional>
#include <string>

using TStatusSink = std::function<void(const std::string& text)>;

// The longest line a memory file may hold, line end not counted.
inline constexpr size_t MemoryFileLineLimit = 79;

// Writes the 100 record lines, each ended by CR LF, to `fileName`, reporting on `status`. The file
// is replaced only when every line reached the disk; otherwise it stays as it was.
bool SaveMemoryFile(const TMemoryRows& rows, const std::string& fileName, const TStatusSink& status,
                    const TAtomicFileWriter::WriteFunction& write = ::write);

// Reads the record lines of `fileName` into the table, in file order. A line whose memory number
// is not an integer raises EConvertError; the lines before it stay applied.
void LoadMemoryFile(const TMemoryRows& rows, const std::string& fileName, const TStatusSink& status,
                    const TLineReader::ReadFunction& read = ::read);
