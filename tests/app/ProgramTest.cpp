#include "OffscreenProgram.h"
#include "TempFolder.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

namespace {

using namespace std::chrono_literals;

// The built program comes up offscreen with its window, waits in Qt's event loop and ends when
// asked to. It prints nothing, so the test watches its main thread from outside.
TEST(ProgramTest, StartsOffscreenWaitsInItsEventLoopAndEndsOnRequest) {
    const OffscreenEnvironment environment;
    char program[] = Q4471_EDITOR_PROGRAM;
    char* argv[] = {program, nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, program, nullptr, nullptr, argv, environment.Pointers()), 0)
        << program;

    int status = 0;
    bool idle = false;
    bool ended = false;
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (!idle && !ended && std::chrono::steady_clock::now() < deadline) {
        idle = WaitsInEventLoop(pid);
        ended = waitpid(pid, &status, WNOHANG) == pid;
        std::this_thread::sleep_for(5ms);
    }
    ASSERT_FALSE(ended) << "the program ended by itself, status " << status;
    EXPECT_TRUE(idle) << "the program did not reach its event loop in time";

    ASSERT_EQ(kill(pid, SIGTERM), 0);
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    // SIGTERM closes the window like the user would: the program returns 0.
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

// What the program prints about its arguments, and how it ends, when it does not start its
// window: a help request, or more than the one file it can open.
TEST(ProgramTest, AnswersHelpAndVersionAndRefusesMoreThanOneFile) {
    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
        const char* printed;
    };
    const Case cases[] = {{{"--help"}, 0, "[FILE]"},
                          {{"--version"}, 0, "q4471-editor"},
                          {{"a.mem", "b.mem"}, 2, "[FILE]"}};
    const OffscreenEnvironment environment;
    const TempFolder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.front());
        std::vector<std::string> words{Q4471_EDITOR_PROGRAM};
        words.insert(words.end(), c.arguments.begin(), c.arguments.end());
        std::vector<char*> argv;
        for (std::string& word : words) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
        const std::string output = folder.File("output");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        for (const int stream : {1, 2}) {
            posix_spawn_file_actions_addopen(&actions, stream, output.c_str(),
                                             O_WRONLY | O_CREAT | O_APPEND, 0600);
        }
        pid_t pid = 0;
        ASSERT_EQ(
            posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environment.Pointers()), 0);
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == c.exitCode) << "status " << status;
        EXPECT_NE(ReadBytes(output).find(c.printed), std::string::npos) << ReadBytes(output);
        std::remove(output.c_str());
    }
}

} // namespace
