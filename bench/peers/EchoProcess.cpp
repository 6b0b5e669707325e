#include "EchoProcess.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

// Nanoseconds on the CPU from schedstat: the tick counts of stat (10 ms) are too coarse for
// a round trip of a few microseconds. Nothing when the thread has ended meanwhile.
std::optional<double> TaskCpuSeconds(const std::filesystem::path& task) {
    std::ifstream schedstat(task / "schedstat");
    double nanoseconds = 0;
    if (schedstat >> nanoseconds) {
        return nanoseconds / 1e9;
    }
    std::ifstream stat(task / "stat");
    const std::string text((std::istreambuf_iterator<char>(stat)),
                           std::istreambuf_iterator<char>());
    const auto nameEnd = text.rfind(')');
    if (nameEnd == std::string::npos) {
        return std::nullopt;
    }
    std::istringstream fields(text.substr(nameEnd + 1));
    std::string field;
    long ticks = 0;
    for (int index = 3; fields >> field && index <= 15; ++index) {
        if (index >= 14) { // utime, stime
            ticks += std::stol(field);
        }
    }
    return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

std::optional<long> TaskSwitches(const std::filesystem::path& task) {
    std::ifstream status(task / "status");
    std::optional<long> switches;
    for (std::string line; std::getline(status, line);) {
        if (line.find("ctxt_switches:") != std::string::npos) {
            switches = switches.value_or(0) + std::stol(line.substr(line.find(':') + 1));
        }
    }
    return switches;
}

} // namespace

PinnedThread::PinnedThread(int cpu) {
    sched_getaffinity(0, sizeof before_, &before_);
    cpu_set_t only;
    CPU_ZERO(&only);
    CPU_SET(cpu, &only);
    if (sched_setaffinity(0, sizeof only, &only) != 0) {
        throw std::runtime_error("cannot pin to core " + std::to_string(cpu));
    }
}

PinnedThread::~PinnedThread() {
    sched_setaffinity(0, sizeof before_, &before_);
}

std::vector<int> UsableCpus() {
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    std::vector<int> cpus;
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0) {
        for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
            if (CPU_ISSET(cpu, &allowed)) {
                cpus.push_back(cpu);
            }
        }
    }
    return cpus;
}

EchoProcess::EchoProcess(const std::string& program, const std::string& device,
                         const std::vector<std::string>& extra, const std::string& preload,
                         int cpu) {
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        throw std::runtime_error("no pipe");
    }
    output_ = SerialPlatform::FileDescriptor(pipeEnds[0]);
    const SerialPlatform::FileDescriptor writeEnd(pipeEnds[1]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.Get(), STDOUT_FILENO);
    std::vector<std::string> arguments{program, device};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (std::string(*entry).rfind("LD_PRELOAD=", 0) != 0) {
            environment.emplace_back(*entry);
        }
    }
    if (!preload.empty()) {
        environment.push_back("LD_PRELOAD=" + preload);
    }
    std::vector<char*> envp;
    for (std::string& entry : environment) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);
    // The program inherits the spawning thread's cores, before any thread of its own starts.
    const std::optional<PinnedThread> pinned =
        cpu < 0 ? std::nullopt : std::optional<PinnedThread>(std::in_place, cpu);
    const int failed =
        posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    // The write end closes as the constructor returns, so the reads see the program's end.
    if (failed != 0) {
        throw std::runtime_error("cannot start " + program);
    }
}

EchoProcess::~EchoProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

std::optional<std::string> EchoProcess::NextLine(Clock::time_point deadline) {
    for (;;) {
        const auto end = pending_.find('\n');
        if (end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            if (line.rfind("error", 0) == 0 || line.rfind("lost", 0) == 0) {
                errors_.push_back(line);
            }
            return line;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd ready{output_.Get(), POLLIN, 0};
        if (left.count() < 0 || poll(&ready, 1, static_cast<int>(left.count()) + 1) == 0) {
            return std::nullopt;
        }
        char buffer[512];
        const ssize_t got = read(output_.Get(), buffer, sizeof buffer);
        if (got == 0) {
            return std::nullopt; // the program ended
        }
        if (got > 0) {
            pending_.append(buffer, static_cast<std::size_t>(got));
        }
    }
}

std::string EchoProcess::Await(const std::string& word, Clock::time_point deadline) {
    while (const auto line = NextLine(deadline)) {
        if (line->rfind(word, 0) == 0) {
            return *line;
        }
    }
    throw std::runtime_error("no \"" + word + "\" from the echo program" +
                             (errors_.empty() ? std::string() : ": " + errors_.front()));
}

TaskUsage ProcessUsage::operator-(const ProcessUsage& earlier) const {
    TaskUsage used;
    for (const auto& [id, now] : tasks) {
        const auto before = earlier.tasks.find(id);
        const TaskUsage start = before == earlier.tasks.end() ? TaskUsage{} : before->second;
        used.cpuSeconds += now.cpuSeconds - start.cpuSeconds;
        used.switches += now.switches - start.switches;
    }
    return used;
}

ProcessUsage EchoProcess::Usage() const {
    ProcessUsage usage;
    std::error_code ignored; // a thread may end while it is read
    const std::string folder = "/proc/" + std::to_string(pid_) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(folder, ignored)) {
        const auto cpu = TaskCpuSeconds(task.path());
        const auto switches = TaskSwitches(task.path());
        if (cpu && switches) {
            usage.tasks[task.path().filename()] = {*cpu, *switches};
        }
    }
    return usage;
}

void EchoProcess::AwaitSettled(Clock::time_point deadline) const {
    constexpr auto Quiet = std::chrono::milliseconds(20);
    ProcessUsage before = Usage();
    while (Clock::now() < deadline) {
        std::this_thread::sleep_for(Quiet);
        ProcessUsage now = Usage();
        if ((now - before).cpuSeconds == 0) {
            return;
        }
        before = std::move(now);
    }
}

void EchoProcess::Finish() {
    kill(pid_, SIGTERM);
    const std::string done = Await("done", Clock::now() + std::chrono::seconds(5));
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw std::runtime_error("the echo program ended with a fault (" + done + ")");
    }
}

std::string EchoProcess::Diagnosis() {
    const auto deadline = Clock::now() + std::chrono::milliseconds(200);
    while (errors_.empty() && NextLine(deadline)) {
    }
    return errors_.empty() ? std::string() : errors_.front();
}
