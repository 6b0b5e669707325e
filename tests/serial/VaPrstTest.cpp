#include <q4471/framework/Exception.h>
#include <q4471/serial/VaPrst.h>

#include <functional>
#include <gtest/gtest.h>
#include <vector>

using namespace q4471;

namespace {

// Counts the change notifications of a group.
struct Notifications {
    int count = 0;
    explicit Notifications(TVaPersistent& group) {
        group.SetOnChange([this](TVaPersistent*) { ++count; });
    }
};

TEST(VaOptionGroups, NewGroupsHoldTheirDefaults) {
    const TVaFlowControl flow;
    EXPECT_FALSE(flow.OutCtsFlow() || flow.OutDsrFlow() || flow.XonXoffOut() || flow.XonXoffIn() ||
                 flow.DsrSensitivity() || flow.TxContinueOnXoff());
    EXPECT_EQ(flow.ControlDtr(), dtrDisabled);
    EXPECT_EQ(flow.ControlRts(), rtsDisabled);
    EXPECT_FALSE(flow.OnChange());

    const TVaEventChars chars;
    EXPECT_EQ(chars.XonChar(), 17);
    EXPECT_EQ(chars.XoffChar(), 19);
    EXPECT_EQ(chars.ErrorChar(), 0);
    EXPECT_EQ(chars.EventChar(), 0);
    EXPECT_EQ(chars.EofChar(), 0);

    const TVaBuffers buffers;
    EXPECT_EQ(buffers.ReadSize(), 4096);
    EXPECT_EQ(buffers.WriteSize(), 2048);
    EXPECT_EQ(buffers.ReadTimeout(), 1000);
    EXPECT_EQ(buffers.WriteTimeout(), 1000);
    EXPECT_EQ(buffers.XonLimit(), 1024);
    EXPECT_EQ(buffers.XoffLimit(), 1024);
}

TEST(VaOptionGroups, FlowControlSettersNotifyOnlyAChangeOfTheirOwnField) {
    // Each setter with a getter that reads its field; all fields start false / disabled.
    struct Field {
        std::function<void(TVaFlowControl&, bool)> set;
        std::function<bool(const TVaFlowControl&)> get;
    };
    const std::vector<Field> fields = {
        {&TVaFlowControl::SetOutCtsFlow, &TVaFlowControl::OutCtsFlow},
        {&TVaFlowControl::SetOutDsrFlow, &TVaFlowControl::OutDsrFlow},
        {[](TVaFlowControl& f, bool on) { f.SetControlDtr(on ? dtrHandshake : dtrDisabled); },
         [](const TVaFlowControl& f) { return f.ControlDtr() == dtrHandshake; }},
        {[](TVaFlowControl& f, bool on) { f.SetControlRts(on ? rtsToggle : rtsDisabled); },
         [](const TVaFlowControl& f) { return f.ControlRts() == rtsToggle; }},
        {&TVaFlowControl::SetXonXoffOut, &TVaFlowControl::XonXoffOut},
        {&TVaFlowControl::SetXonXoffIn, &TVaFlowControl::XonXoffIn},
        {&TVaFlowControl::SetDsrSensitivity, &TVaFlowControl::DsrSensitivity},
        {&TVaFlowControl::SetTxContinueOnXoff, &TVaFlowControl::TxContinueOnXoff},
    };
    for (std::size_t i = 0; i < fields.size(); ++i) {
        SCOPED_TRACE(i);
        TVaFlowControl flow;
        Notifications changes(flow);
        fields[i].set(flow, false);
        EXPECT_EQ(changes.count, 0);
        fields[i].set(flow, true);
        EXPECT_EQ(changes.count, 1);
        for (std::size_t j = 0; j < fields.size(); ++j) {
            EXPECT_EQ(fields[j].get(flow), i == j) << "field " << j;
        }
    }
}

TEST(VaOptionGroups, EventCharsNotifyEveryCallAndIgnoreUnknownIndexes) {
    TVaEventChars chars;
    Notifications changes(chars);
    chars.SetEventChar(1, 17); // the value it has
    EXPECT_EQ(changes.count, 1);
    chars.SetEventChar(6, 'x');
    chars.SetEventChar(0, 'x');
    EXPECT_EQ(changes.count, 3);
    EXPECT_EQ(chars.XonChar(), 17);
    EXPECT_EQ(chars.EofChar(), 0);

    for (int index = 1; index <= 5; ++index) {
        chars.SetEventChar(index, static_cast<char>('a' + index));
    }
    EXPECT_EQ(chars.XonChar(), 'b');
    EXPECT_EQ(chars.XoffChar(), 'c');
    EXPECT_EQ(chars.ErrorChar(), 'd');
    EXPECT_EQ(chars.EventChar(), 'e');
    EXPECT_EQ(chars.EofChar(), 'f');
}

TEST(VaOptionGroups, BufferSizesNotifyTimeoutsDoNot) {
    TVaBuffers buffers;
    Notifications changes(buffers);
    buffers.SetReadSize(4096);
    buffers.SetXoffLimit(1024);
    EXPECT_EQ(changes.count, 0);
    buffers.SetReadSize(8192);
    buffers.SetWriteSize(1);
    buffers.SetXonLimit(2);
    buffers.SetXoffLimit(3);
    EXPECT_EQ(changes.count, 4);
    buffers.SetReadTimeout(5);
    buffers.SetWriteTimeout(6);
    EXPECT_EQ(changes.count, 4);
    EXPECT_EQ(buffers.ReadSize(), 8192);
    EXPECT_EQ(buffers.WriteSize(), 1);
    EXPECT_EQ(buffers.XonLimit(), 2);
    EXPECT_EQ(buffers.XoffLimit(), 3);
    EXPECT_EQ(buffers.ReadTimeout(), 5);
    EXPECT_EQ(buffers.WriteTimeout(), 6);
}

TEST(VaOptionGroups, AssignCopiesWholeGroupsWithOneNotification) {
    TVaFlowControl flow, flowSource;
    Notifications flowChanges(flow);
    flow.Assign(flowSource); // equal
    EXPECT_EQ(flowChanges.count, 1);
    flowSource.SetOutCtsFlow(true);
    flowSource.SetControlRts(rtsHandshake);
    flowSource.SetTxContinueOnXoff(true);
    flow.SetOnChange([&](TVaPersistent*) { // sees the whole copy, never a part of it
        ++flowChanges.count;
        EXPECT_TRUE(flow.OutCtsFlow() && flow.TxContinueOnXoff());
        EXPECT_EQ(flow.ControlRts(), rtsHandshake);
    });
    flow.Assign(flowSource);
    EXPECT_EQ(flowChanges.count, 2);
    EXPECT_EQ(flow.UpdateCount(), 0);

    TVaEventChars chars, charsSource;
    Notifications charChanges(chars);
    charsSource.SetEventChar(4, '\n');
    chars.Assign(charsSource);
    EXPECT_EQ(charChanges.count, 1);
    EXPECT_EQ(chars.EventChar(), '\n');

    TVaBuffers buffers, buffersSource;
    Notifications bufferChanges(buffers);
    buffers.Assign(buffersSource);
    EXPECT_EQ(bufferChanges.count, 1);
    buffersSource.SetReadSize(100);
    buffersSource.SetWriteSize(200);
    buffersSource.SetReadTimeout(300);
    buffersSource.SetWriteTimeout(400);
    buffersSource.SetXonLimit(500);
    buffersSource.SetXoffLimit(600);
    buffers.Assign(buffersSource);
    EXPECT_EQ(bufferChanges.count, 2);
    EXPECT_EQ(buffers.ReadSize(), 100);
    EXPECT_EQ(buffers.WriteSize(), 200);
    EXPECT_EQ(buffers.ReadTimeout(), 300);
    EXPECT_EQ(buffers.WriteTimeout(), 400);
    EXPECT_EQ(buffers.XonLimit(), 500);
    EXPECT_EQ(buffers.XoffLimit(), 600);
}

TEST(VaOptionGroups, AssignFromAnotherClassRaisesAndKeepsTheValues) {
    TVaFlowControl flow;
    flow.SetXonXoffIn(true);
    Notifications changes(flow);
    TVaBuffers buffers;
    try {
        flow.Assign(buffers);
        FAIL() << "no assignment error";
    } catch (const EConvertError& error) {
        EXPECT_EQ(error.Message(), "Cannot assign a TVaBuffers to a TVaFlowControl");
    }
    EXPECT_TRUE(flow.XonXoffIn());
    EXPECT_EQ(changes.count, 0);
    EXPECT_THROW(buffers.Assign(flow), EConvertError);
    EXPECT_THROW(TVaEventChars().Assign(buffers), EConvertError);
}

} // namespace
