#include "LineFaultFixture.h"

#include "support/ProcessCpu.h"

#include <sstream>

using namespace std::chrono_literals;

LineFaultTest::LineFaultTest() {
    radioLink = folder.File("com1");
}

void LineFaultTest::ConnectAndFill(const Misbehaviour& misbehave, const std::string& radioLabel) {
    ASSERT_NO_FATAL_FAILURE(ConnectRadio(misbehave));
    FillRadio(radioLabel);
    for (int n = 1; n <= MemoryCount; ++n) {
        SetValues(n, UserValues(n));
    }
}

void LineFaultTest::FillRadio(const std::string& label) const {
    for (int n = 1; n <= MemoryCount; ++n) {
        const Strings v = RadioValues(n, label);
        radio->SetRecord(n,
                         std::to_string(n) + "," + v[0] + "," + v[1] + "," + v[2] + ",1," + v[4]);
    }
}

// GCC 12 at -O3 reports a false -Wrestrict inside std::string concatenation (GCC bug 105651).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
Strings LineFaultTest::UserValues(int number) {
    return {"U" + std::to_string(number), "145.000", "145.600", "DCS", "023"};
}
#pragma GCC diagnostic pop

Strings LineFaultTest::RadioValues(int number, const std::string& label) {
    return {label + std::to_string(number), "146.520", "146.520", "CTCSS", "100.0"};
}

std::string LineFaultTest::TableDeviation(int radioRows, int shift) const {
    std::ostringstream deviation;
    for (int n = 1; n <= MemoryCount; ++n) {
        const Strings values = ValuesOf(n);
        const bool ok = radioRows == WholeRows ? values == UserValues(n) || values == RadioValues(n)
                                               : values == (n > shift && n <= radioRows + shift
                                                                ? RadioValues(n - shift)
                                                                : UserValues(n));
        if (!ok) {
            deviation << " row " << n << " {";
            for (const std::string& value : values) {
                deviation << '"' << value.substr(0, 20) << (value.size() > 20 ? "...\"" : "\"")
                          << ' ';
            }
            deviation << '}';
        }
    }
    return deviation.str();
}

std::chrono::microseconds LineFaultTest::CpuOverOneSecond() {
    const std::chrono::microseconds before = ProcessCpuTime();
    ServeUntil([] { return false; }, 1s);
    return ProcessCpuTime() - before;
}

bool LineFaultTest::RunTransfer(const char* command, std::chrono::seconds within) {
    Trigger(command);
    return ServeUntil([&] { return !Progress()->isVisible(); }, within);
}

void LineFaultTest::ExpectCommandWorks(const char* command) {
    const std::size_t before = radio->Commands().size();
    if (std::string(command) == "SendFileToQ44711") {
        Trigger(command);
        ASSERT_TRUE(ServeUntilCommands(before + 4));
        for (int n = 1; n <= 3; ++n) {
            EXPECT_EQ(radio->Record(n),
                      std::to_string(n) + ",U" + std::to_string(n) + ",145.000,145.600,2,023");
        }
        return;
    }
    FillRadio("N");
    Trigger(command);
    ASSERT_TRUE(ServeUntil([&] {
        const Strings commands = Commands();
        return commands.size() > before && commands.back() == Query(4);
    }));
    for (int n = 1; n <= 3; ++n) {
        EXPECT_EQ(ValuesOf(n), RadioValues(n, "N")) << n;
    }
}
