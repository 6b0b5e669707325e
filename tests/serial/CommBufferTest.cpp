#include "serial/VaCommBuffer.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>

TEST(VaCommBuffer, HoldsItsBytesOldestFirstAtTheFrontOfABlockThatNeverMoves) {
    struct Case {
        const char* name;
        std::function<void(TVaCommBuffer&, std::string&)> act; // on a queue holding 1, 2, 3, 4, 5
        std::string held;
        std::string out;
    };
    const Case cases[] = {
        {"Read of 3 delivers 1, 2, 3 and leaves 4, 5",
         [](TVaCommBuffer& q, std::string& out) { q.Read(out.data(), 3); }, "\4\5", "\1\2\3"},
        {"Peek copies and keeps", [](TVaCommBuffer& q, std::string& out) { q.Peek(out.data(), 2); },
         "\1\2\3\4\5", "\1\2"},
        {"Remove of Size empties", [](TVaCommBuffer& q, std::string&) { q.Remove(q.Size()); }, "",
         ""},
        {"Remove of none keeps all", [](TVaCommBuffer& q, std::string&) { q.Remove(0); },
         "\1\2\3\4\5", ""},
        {"Clear empties", [](TVaCommBuffer& q, std::string&) { q.Clear(); }, "", ""},
        {"Write after Remove appends behind the rest, up to the capacity",
         [](TVaCommBuffer& q, std::string&) {
             q.Remove(2);
             q.Write("\6\7\10\11\12", 5);
         },
         "\3\4\5\6\7\10\11\12", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TVaCommBuffer queue(8);
        const char* block = queue.DataPtr();
        queue.Write("\1\2\3\4\5", 5);
        std::string out(c.out.size(), '\0');
        c.act(queue, out);
        EXPECT_EQ(std::string(queue.DataPtr(), static_cast<std::size_t>(queue.Size())), c.held);
        EXPECT_EQ(out, c.out);
        EXPECT_EQ(queue.DataPtr(), block);
        EXPECT_EQ(queue.Capacity(), 8);
    }
    EXPECT_EQ(TVaCommBuffer(-1).Capacity(), 0) << "a negative capacity is none";
}
