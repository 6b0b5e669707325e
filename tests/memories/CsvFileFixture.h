#pragma once

#include "MemoryFileFixture.h"
#include "memories/CsvFile.h"

// A memory table and real files for the CSV load and save, with the details each one gave.
class CsvFileFixture : public MemoryFileFixture {
protected:
    bool SaveCsv(const std::string& fileName,
                 const TAtomicFileWriter::WriteFunction& write = ::write) {
        statuses.clear();
        details.clear();
        return SaveCsvFile(rows, fileName, Status(), details, write);
    }
    // Loads as Load Existing File does; answers the error's message, empty when none was raised.
    std::string LoadAny(const std::string& fileName) {
        statuses.clear();
        details.clear();
        try {
            LoadAnyMemoryFile(rows, fileName, Status(), details);
        } catch (const Exception& error) {
            return error.Message();
        }
        return {};
    }
    // Writes `bytes` to a file of that name in the test's folder and loads it.
    std::string LoadBytes(const std::string& name, const std::string& bytes) {
        WriteBytes(folder.File(name), bytes);
        return LoadAny(folder.File(name));
    }

    TFileDetails details;
};

// Where the files as other radio programs write them are kept.
inline std::string CsvFixture(const std::string& name) {
    return std::string(Q4471_CSV_FIXTURES) + "/" + name;
}

// The header the editor writes.
inline const std::string EditorCsvHeader =
    "Location,Name,Frequency,Duplex,Offset,Tone,rToneFreq,cToneFreq,DtcsCode,DtcsPolarity,Mode,"
    "TStep,Skip,Comment,URCALL,RPT1CALL,RPT2CALL,DVCODE\r\n";
