#pragma once

#include "MemoryFileFixture.h"
#include "memories/CsvFile.h"
#include "memories/RecordFormat.h"
#include "memories/RecordLine.h"

#include <q4471/framework/Exception.h>

// A memory table and real files for the CSV load and save, with the details each one gave.
class CsvFileFixture : public MemoryFileFixture {
protected:
    bool SaveCsv(const std::string& fileName,
                 const TAtomicFileWriter::WriteFunction& write = ::write) {
        statuses.clear();
        const TOutcome saved = SaveCsvFile(rows, fileName, Status(), write);
        details = saved.details;
        return saved.succeeded;
    }
    // Loads as Load Existing File does; answers why the file was refused, or the error's message,
    // empty when it was neither refused nor raised an error.
    std::string LoadAny(const std::string& fileName) {
        statuses.clear();
        details.clear();
        try {
            const TOutcome loaded = LoadAnyMemoryFile(rows, fileName, Status());
            details = loaded.details;
            return loaded.refusal;
        } catch (const q4471::Exception& error) {
            return error.Message();
        }
        return {};
    }
    // Writes `bytes` to a file of that name in the test's folder and loads it.
    std::string LoadBytes(const std::string& name, const std::string& bytes) {
        WriteBytes(folder.File(name), bytes);
        return LoadAny(folder.File(name));
    }

    // What the table holds leaves the editor every way and comes back unchanged: through a
    // memory file, through a CSV file (a table cleared first, as CSV leaves empty memories out),
    // and as the record line a send writes, which fits a memory file line.
    void ExpectEveryWayOutKeepsTheTable() {
        const auto table = Table();
        details.clear();
        for (const std::string name : {"out.mem", "out.csv"}) {
            SCOPED_TRACE(name);
            const std::string file = folder.File(name);
            ASSERT_TRUE(IsCsvFileName(file) ? SaveCsv(file) : Save(file));
            EXPECT_EQ(details, TFileDetails{});
            ClearAll();
            EXPECT_EQ(LoadAny(file), "");
            EXPECT_EQ(details, TFileDetails{});
            EXPECT_EQ(Table(), table);
        }
        for (int n = 1; n <= 100; ++n) {
            std::string record;
            ASSERT_TRUE(ComposeRecord(rows, n, record));
            EXPECT_LE(record.size(), MemoryFileLineLimit) << record;
            const TRecordFields fields = SplitRecord(record);
            EXPECT_EQ((std::vector<std::string>{fields.label, fields.txFreq, fields.rxFreq,
                                                ModeTextOf(fields.mode), fields.code}),
                      ValuesOf(n))
                << record;
        }
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
