#include "OffscreenProgram.h"

#include <chrono>
#include <csignal>
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

} // namespace
