#include <cerrno>
#include <chrono>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

using namespace std::chrono_literals;

// The system call the process's main thread waits in, or -1 while it runs or has gone.
long WaitingSystemCall(pid_t pid) {
    std::ifstream syscall("/proc/" + std::to_string(pid) + "/syscall");
    long number = -1;
    syscall >> number;
    return syscall ? number : -1;
}

bool HasEnded(pid_t pid, int& status) {
    return waitpid(pid, &status, WNOHANG) == pid;
}

// The program comes up offscreen with its window and waits for events in Qt's event loop; it takes
// no arguments and prints nothing, so the test watches its main thread from outside.
TEST(ProgramTest, StartsOffscreenWaitsInItsEventLoopAndEndsOnRequest) {
    std::vector<std::string> environment;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        if (std::string(*variable).rfind("QT_QPA_PLATFORM=", 0) != 0) {
            environment.emplace_back(*variable);
        }
    }
    environment.emplace_back("QT_QPA_PLATFORM=offscreen");
    std::vector<char*> envp;
    for (std::string& variable : environment) {
        envp.push_back(variable.data());
    }
    envp.push_back(nullptr);
    char program[] = Q4471_EDITOR_PROGRAM;
    char* argv[] = {program, nullptr};

    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, program, nullptr, nullptr, argv, envp.data()), 0) << program;

    // poll (7) and ppoll (271) are where an idle Qt event loop waits.
    int status = 0;
    bool idle = false;
    bool ended = false;
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (!idle && !ended && std::chrono::steady_clock::now() < deadline) {
        const long call = WaitingSystemCall(pid);
        idle = call == 7 || call == 271;
        ended = HasEnded(pid, status);
        std::this_thread::sleep_for(5ms);
    }
    if (ended) {
        FAIL() << "the program ended by itself, status " << status;
    }
    EXPECT_TRUE(idle) << "the program did not reach its event loop in time";

    ASSERT_EQ(kill(pid, SIGTERM), 0);
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    // The program has no handler of its own for SIGTERM yet; it must end by it and nothing else.
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << "status " << status;
}

} // namespace
