#include "DisplayFixture.h"
#include "serial/FakeCommSystem.h"
#include "serial/PtyPair.h"

#include <q4471/framework/plain/PlainFramework.h>
#include <q4471/serial/VaComm.h>

#include <cerrno>
#include <functional>
#include <string>
#include <utility>

using namespace q4471;

namespace {

constexpr uint32_t AllModemLines = MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON;
constexpr uint32_t AllHolds = 0x1F; // CTS, DSR, RLSD, XOFF received, XOFF sent

// The display beside an open port whose line states the stand-in for the operating system
// supplies; no receive thread runs, so the test refreshes the display itself.
class LEDDisplayPortTest : public DisplayTest {
protected:
    LEDDisplayPortTest() {
        comm_.SetCommSystem(fake_);
        comm_.SetDeviceName(pty_.SlavePath());
        comm_.SetDirectWrite(true);
        comm_.SetMonitorEvents(TVaCommEvents());
        comm_.Open();
        display_.SetDisplaycaption(false); // keeps the lamps' centres in their own colour
    }

    // Lamps 1 to 9 that are on, bit 0 for lamp 1.
    unsigned LampsOn() const {
        unsigned on = 0;
        for (int lamp = 1; lamp <= Display::LampCount; ++lamp) {
            on |= display_.LampOn(lamp) ? 1u << (lamp - 1) : 0;
        }
        return on;
    }

    // Refreshes from the port with these line states.
    void Refresh(uint32_t modemStat, uint32_t holds) {
        fake_.modemStat = modemStat;
        fake_.comStatFlags = holds;
        display_.UpdateDisplay(&comm_);
    }

    PtyPair pty_;
    FakeCommSystem fake_;
    TVaComm comm_{nullptr};
};

struct LinesCase {
    const char* name;
    uint32_t modemStat;
    uint32_t holds;
    unsigned lampsOn;
};

TEST_F(LEDDisplayPortTest, LampsFollowTheModemLinesAndHoldsInTheirColours) {
    const LinesCase cases[] = {
        {"every modem line", AllModemLines, 0, 0x00F},
        {"every hold", 0, AllHolds, 0x1F0},
        {"CTS, RLSD, CTS hold, XOFF sent", MS_CTS_ON | MS_RLSD_ON, 0x01 | 0x10, 0x119},
        {"DSR, RING, DSR, RLSD and XOFF holds", MS_DSR_ON | MS_RING_ON, 0x02 | 0x04 | 0x08, 0x0E6},
        {"nothing, whatever the other status bits", 0, 0xE0, 0x000},
    };
    for (const LinesCase& c : cases) {
        paints_.count = 0;
        Refresh(c.modemStat, c.holds);
        EXPECT_EQ(paints_.count, 1) << c.name;
        EXPECT_EQ(LampsOn(), c.lampsOn) << c.name;
        const QImage image = Render();
        for (int lamp = 0; lamp < Display::LampCount; ++lamp) {
            // The default colours: 0xFF0000 and 0x800000 in the 0x00BBGGRR encoding.
            const QRgb expected = (c.lampsOn >> lamp & 1u) != 0 ? qRgb(0, 0, 255) : qRgb(0, 0, 128);
            EXPECT_EQ(image.pixel(lamp * 35 + 17, 9), expected) << c.name << ", lamp " << lamp + 1;
        }
    }
}

TEST_F(LEDDisplayPortTest, ASenderThatIsNotAPortChangesNothing) {
    TComponent plain(nullptr);
    TComponent* const senders[] = {nullptr, &plain, &display_};
    Refresh(MS_CTS_ON, 0x10);
    fake_.modemStat = AllModemLines;
    fake_.comStatFlags = AllHolds;
    for (TComponent* sender : senders) {
        paints_.count = 0;
        display_.UpdateDisplay(sender);
        EXPECT_EQ(LampsOn(), 0x101u);
        EXPECT_EQ(paints_.count, 0);
    }
}

TEST_F(LEDDisplayPortTest, AnAttachedDisplayFollowsItsPortAndIsForgottenHoweverItGoes) {
    const std::pair<const char*, std::function<void(TComponent&, QWidget*&, TVaLEDDisplay*)>>
        cases[] = {
            {"deleted itself", [](TComponent&, QWidget*&, TVaLEDDisplay* d) { delete d; }},
            {"with its parent widget",
             [](TComponent&, QWidget*& parent, TVaLEDDisplay*) {
                 delete std::exchange(parent, nullptr);
             }},
            {"with its owner", [](TComponent& owner, QWidget*&,
                                  TVaLEDDisplay*) { delete owner.Components().front(); }},
        };
    for (const auto& [name, destroy] : cases) {
        TComponent owner(nullptr);
        QWidget* parent = new QWidget;
        auto* attached = new TVaLEDDisplay(&owner, parent);
        comm_.SetDisplay(attached);
        fake_.modemStat = MS_DSR_ON;
        comm_.UpdateDisplay();
        EXPECT_TRUE(attached->LampOn(2)) << name;

        destroy(owner, parent, attached);
        EXPECT_EQ(comm_.Display(), nullptr) << name;
        EXPECT_TRUE(owner.Components().empty()) << name;
        delete parent;
    }
}

struct FailureCase {
    FakeCall call;
    std::string message;
    unsigned lampsOn; // after the failure, when every line came on
};

TEST_F(LEDDisplayPortTest, AFailingQueryRaisesKeepsTheLampsNotYetReadAndDoesNotRepaint) {
    const FailureCase cases[] = {
        {FakeCall::GetCommModemStatus, "Error reading modem state (5), ", 0x000},
        {FakeCall::ClearCommError, "Error retrieving statistics (5), ", 0x00F},
    };
    for (const FailureCase& c : cases) {
        fake_.failures.clear();
        Refresh(0, 0);
        fake_.failures[c.call] = EIO;
        paints_.count = 0;
        std::string message;
        try {
            Refresh(AllModemLines, AllHolds);
        } catch (const EVaCommError& error) {
            message = error.Message();
        }
        EXPECT_EQ(message.substr(0, c.message.size()), c.message) << c.message;
        EXPECT_EQ(LampsOn(), c.lampsOn) << c.message;
        EXPECT_EQ(paints_.count, 0) << c.message;
    }
}

} // namespace

TEST_F(LEDDisplayPortTest, AReceiveThreadDeliveryRefreshesTheLampsFirst) {
    ScriptedEvents script;
    comm_.Close();
    comm_.SetMonitorEvents(TVaCommEvents{ceCts});
    fake_.scriptedEvents = &script;
    comm_.Open();
    comm_.SetDisplay(&display_);
    bool lampOnAtOnCts = false;
    comm_.OnCts = [&](TObject*) { lampOnAtOnCts = display_.LampOn(1); };
    fake_.modemStat = MS_CTS_ON;
    script.Raise(EV_CTS);
    EXPECT_TRUE(PlainFrameworkBinding::PumpUntil([&] { return lampOnAtOnCts; }));
    comm_.Close(); // the port's thread lets go of the script before it goes
}
