#pragma once

// A pseudo-terminal pair for serial tests under Wine: a Windows program cannot open one, so the
// pty peer (tools/wine/pty-peer, started by tools/wine/wine-run.sh) owns the pair, maps its slave
// as a COM port and plays the master side as this object asks over loopback TCP. The interface is
// LinuxPtyPair's, less what only a Linux master can answer (its descriptor, the termios record).
// Winsock stays in the .cpp: <windows.h> would redefine names the component's headers use.

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

class PeerPtyPair {
public:
    PeerPtyPair();
    ~PeerPtyPair();
    PeerPtyPair(const PeerPtyPair&) = delete;
    PeerPtyPair& operator=(const PeerPtyPair&) = delete;

    // The port's name ("COM5"); the component's resolver makes it the device to open.
    const std::string& SlavePath() const { return slavePath_; }

    // The peer hangs up, as a pulled USB adapter does.
    void CloseMaster();

    void Send(const std::string& bytes) const;

    // Reads until `count` bytes have come or the deadline has passed; answers what came.
    std::string Receive(std::size_t count,
                        std::chrono::milliseconds deadline = std::chrono::seconds(5)) const;

    // Bytes the slave has received and not yet read, seen from the master.
    int SlaveInput() const;

    // The modem lines (PtyPeer::Line bits): DTR and RTS as the port set them, the rest as the
    // peer did.
    uint32_t ModemLines() const;
    // Raises and drops the peer's lines: CTS, DSR, RING and carrier.
    void SetModemLines(uint32_t raise, uint32_t drop) const;

    // A benchmark's side of the line, done by the peer (LinuxPtyPair's of the same names); each
    // blocks until done.
    void Echo(std::size_t requestSize, const std::string& answer, int count) const;
    void Sink(std::size_t bytes) const;
    void Source(const std::string& chunk, int times) const;

private:
    struct Answer {
        int32_t status = 0;
        std::string payload;
    };

    // Asks on a connection no other thread is using: the test's threads may ask at once, and a
    // Receive waits while a Send goes on.
    Answer Ask(uint32_t op, uint32_t a = 0, uint32_t b = 0, const std::string& payload = "") const;
    uintptr_t TakeConnection() const;
    void GiveBack(uintptr_t connection) const;

    std::string address_;
    int port_ = 0;
    mutable std::mutex mutex_;
    mutable std::vector<uintptr_t> idle_;   // SOCKETs
    mutable std::vector<uintptr_t> opened_; // every SOCKET, closed with the pair
    std::string slavePath_;
};
