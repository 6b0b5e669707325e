#include <q4471/serial/VaClasses.h>

#include <gtest/gtest.h>
#include <vector>

namespace {

struct Group : TVaPersistent {
    std::vector<TVaPersistent*> notified;
    Group() {
        SetOnChange([this](TVaPersistent* sender) { notified.push_back(sender); });
    }
};

TEST(VaPersistent, NestedUpdatesNotifyOnceAtTheLastEnd) {
    Group group;
    group.BeginUpdate();
    group.BeginUpdate();
    group.Changed();
    EXPECT_EQ(group.UpdateCount(), 2);
    group.EndUpdate();
    group.Changed(); // count 1: held back
    EXPECT_TRUE(group.notified.empty());
    group.EndUpdate();
    ASSERT_EQ(group.notified.size(), 1u);
    EXPECT_EQ(group.notified[0], &group);
    EXPECT_EQ(group.UpdateCount(), 0);
}

TEST(VaPersistent, UnmatchedEndUpdateNotifiesAndStaysAtZero) {
    Group group;
    group.EndUpdate();
    EXPECT_EQ(group.UpdateCount(), 0);
    EXPECT_EQ(group.notified.size(), 1u);
    group.Changed();
    EXPECT_EQ(group.notified.size(), 2u);

    TVaPersistent silent; // no handler: nothing to call
    silent.Changed();
    silent.EndUpdate();
    EXPECT_EQ(silent.UpdateCount(), 0);
}

} // namespace
