// Start-up of the editor as a user gets it: wall time from starting the built program offscreen
// until its window with the 100 memory rows is shown and the program waits in its event loop, and
// the program's peak memory (VmHWM while it waits, ru_maxrss after it ended).
//
//   bench/app/app_startup_bench [runs]

#include "Figures.h"
#include "OffscreenProgram.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

} // namespace

int main(int argc, char* argv[]) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 15;
    const OffscreenEnvironment environment;
    char program[] = Q4471_EDITOR_PROGRAM;
    char* programArgv[] = {program, nullptr};
    posix_spawn_file_actions_t quiet; // Qt's warnings would mix with the figures
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);

    std::vector<double> startup;
    std::vector<double> peak;
    std::vector<double> maxrss;
    for (int run = 0; run < runs; ++run) {
        const Clock::time_point start = Clock::now();
        pid_t pid = 0;
        if (posix_spawn(&pid, program, &quiet, nullptr, programArgv, environment.Pointers()) != 0) {
            std::fprintf(stderr, "cannot start %s\n", program);
            return 1;
        }
        bool up = false;
        while (!up && Clock::now() - start < std::chrono::seconds(30)) {
            up = WaitsInEventLoop(pid);
            if (!up) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        }
        const Clock::time_point shown = Clock::now();
        const long peakKilobytes = PeakKilobytes(pid);
        kill(pid, SIGTERM);
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        if (!up) {
            std::fprintf(stderr, "run %d: the program did not come up\n", run + 1);
            return 1;
        }
        startup.push_back(std::chrono::duration<double, std::milli>(shown - start).count());
        peak.push_back(static_cast<double>(peakKilobytes) / 1024.0);
        maxrss.push_back(static_cast<double>(usage.ru_maxrss) / 1024.0);
    }
    posix_spawn_file_actions_destroy(&quiet);
    std::printf("%s, offscreen, %d runs\n", program, runs);
    PrintFigures("start-up to window shown", "ms", startup);
    PrintFigures("peak memory (VmHWM when shown)", "MiB", peak);
    PrintFigures("peak memory (ru_maxrss at end)", "MiB", maxrss);
    std::printf("goals: start-up under 150 ms, peak memory under 45 MB\n");
    return 0;
}
