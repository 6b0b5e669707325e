// q4471-radio-sim: a simulated Q4471 radio on a pseudo-terminal. See --help.
#include "CommandLine.h"
#include "SimulatedRadio.h"

#include <csignal>
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr const char* Program = "q4471-radio-sim";

// Signals are taken synchronously by sigwait in main; they are blocked before the serving thread
// starts, so it inherits the mask and never runs a handler.
sigset_t HandledSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGUSR1}) {
        sigaddset(&signals, signal);
    }
    return signals;
}

void SaveOnRequest(radiosim::SimulatedRadio& radio, const std::string& path) {
    if (path.empty()) {
        std::cerr << Program << ": SIGUSR1 ignored: no --save file given\n";
        return;
    }
    try {
        radio.SaveMemories(path);
    } catch (const std::exception& error) {
        std::cerr << Program << ": " << error.what() << '\n';
    }
}

int Run(const radiosim::RadioOptions& options) {
    const sigset_t signals = HandledSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    // A reader of our standard output that goes away must not kill the radio.
    std::signal(SIGPIPE, SIG_IGN);

    radiosim::SimulatedRadio radio(options);
    try {
        radio.Start();
    } catch (const std::exception& error) {
        std::cerr << Program << ": " << error.what() << '\n';
        return 1;
    }
    std::printf("%s\n", radio.DevicePath().c_str());
    std::fflush(stdout);

    for (;;) {
        int signal = 0;
        sigwait(&signals, &signal);
        if (signal != SIGUSR1) {
            break;
        }
        SaveOnRequest(radio, options.savePath);
    }
    try {
        radio.Stop();
    } catch (const std::exception& error) {
        std::cerr << Program << ": " << error.what() << '\n';
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    radiosim::CommandLine commandLine;
    try {
        commandLine = radiosim::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const radiosim::UsageError& error) {
        std::cerr << Program << ": " << error.what() << "\nTry '" << Program
                  << " --help' for more information.\n";
        return 2;
    }
    if (commandLine.help) {
        std::cout << radiosim::UsageText();
        return 0;
    }
    return Run(commandLine.options);
}
