// pty-peer: owns pseudo-terminal pairs for a Windows test that runs under Wine, as many as it
// asks for, maps each slave as a COM port of the prefix and plays the master side (see
// PtyPeerProtocol.h). Listens on an ephemeral loopback port, which it writes to the port file
// once it accepts; ends on SIGTERM or SIGINT, removing every COM port it made.
//
//   pty-peer DOSDEVICES_DIR LINES_DIR PORT_FILE

#include "PeerSession.h"

#include <q4471/serial/LinuxFileDescriptor.h>

#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

int Fail(const std::string& what) {
    std::perror(("pty-peer: " + what).c_str());
    return 1;
}

// Written whole under another name and renamed, so that a reader never sees half a number.
bool WritePortFile(const std::string& path, int listener) {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    if (getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        return false;
    }
    const std::string partial = path + ".partial";
    std::ofstream(partial) << ntohs(address.sin_port) << "\n";
    return std::rename(partial.c_str(), path.c_str()) == 0;
}

void Serve(int connection, PeerPairs& pairs) {
    const SerialPlatform::FileDescriptor owner(connection);
    const int on = 1;
    // Requests are small and answered one at a time: waiting to coalesce them only adds latency.
    setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    try {
        ServeConnection(connection, pairs);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "pty-peer: %s\n", error.what());
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: pty-peer DOSDEVICES_DIR LINES_DIR PORT_FILE\n");
        return 2;
    }
    sigset_t endings;
    sigemptyset(&endings);
    sigaddset(&endings, SIGTERM);
    sigaddset(&endings, SIGINT);
    // Blocked before any thread starts, so that every thread inherits the mask and only the
    // signal descriptor sees the ending.
    sigprocmask(SIG_BLOCK, &endings, nullptr);
    // A runner killed outright (a test's time-out) still ends its peer, which then removes its
    // COM ports: a link left behind would point at a pseudo-terminal number the next pair reuses.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() == 1) {
        return 1;
    }
    const SerialPlatform::FileDescriptor ending(signalfd(-1, &endings, SFD_CLOEXEC));
    const SerialPlatform::FileDescriptor listener(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (!ending.Valid() || !listener.Valid() ||
        bind(listener.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener.Get(), 16) != 0 || !WritePortFile(argv[3], listener.Get())) {
        return Fail("cannot listen");
    }
    MadeFiles made;
    PeerPairs pairs({argv[1], argv[2]}, made);
    for (;;) {
        pollfd fds[2] = {{ending.Get(), POLLIN, 0}, {listener.Get(), POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            continue;
        }
        if (fds[0].revents != 0) {
            break;
        }
        const int connection = accept4(listener.Get(), nullptr, nullptr, SOCK_CLOEXEC);
        if (connection >= 0) {
            std::thread(Serve, connection, std::ref(pairs)).detach();
        }
    }
    made.RemoveAll();
    // Sessions may still be serving: leave without running destructors beneath them.
    std::_Exit(0);
}
