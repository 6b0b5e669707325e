#include <q4471/serial/Vaconst.h>

#include <gtest/gtest.h>

namespace {

TEST(VaSets, InsertRemoveContainsAndEquality) {
    TVaCommEvents events{ceError, ceRxChar, ceTxEmpty};
    EXPECT_EQ(events.ToBits(), 200); // bits 3, 6 and 7
    EXPECT_TRUE(events.Contains(ceRxChar));
    EXPECT_FALSE(events.Contains(ceEvent2));

    events.Insert(ceEvent2);
    events.Insert(ceEvent2);
    EXPECT_EQ(events.ToBits(), 200 | 0x1000);
    events.Remove(ceError);
    events.Remove(ceError);
    EXPECT_FALSE(events.Contains(ceError));
    EXPECT_EQ(events, (TVaCommEvents{ceEvent2, ceRxChar, ceTxEmpty}));
    EXPECT_NE(events, TVaCommEvents{});
    EXPECT_TRUE(TVaCommEvents{}.Empty());

    TVaCommOptions options{coParityCheck};
    EXPECT_EQ(options.ToBits(), 0x04);
    EXPECT_EQ(sizeof(TVaCommOptions), 1u);
    EXPECT_EQ(sizeof(TVaCommEvents), 2u);
}

TEST(VaSets, FromBitsKeepsOnlyMembers) {
    EXPECT_EQ(TVaCommEvents::FromBits(0xFFFF).ToBits(), 0x1FFF);
    EXPECT_EQ(TVaCommOptions::FromBits(0xFF),
              (TVaCommOptions{coErrorChar, coNullStrip, coParityCheck}));
    EXPECT_EQ(TVaCommEvents::FromBits(200), (TVaCommEvents{ceError, ceRxChar, ceTxEmpty}));
}

TEST(VaConstants, EventMaskOfTheDefaultEvents) {
    uint32_t mask = 0;
    for (TVaCommEvent event : {ceError, ceRxChar, ceTxEmpty}) {
        mask |= VaCommEventMasks[event];
    }
    EXPECT_EQ(mask, 0x85u);
    EXPECT_EQ(VaCommEventMasks[ceBreak], 0x40u);
    EXPECT_EQ(VaCommEventMasks[ceEvent2], 0x1000u);
    EXPECT_EQ(VaBaudrateValues[br9600], 9600u);
    EXPECT_EQ(VaBaudrateValues[brUser], 0u);
}

} // namespace
