#include "PeerPtyPair.h"

#include "tools/wine/PtyPeerProtocol.h"

#include <array>
#include <cstdlib>
#include <stdexcept>
#include <utility>
#include <winsock2.h>
#include <ws2tcpip.h>

namespace {

void StartWinsock() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    if (!started) {
        throw std::runtime_error("Winsock does not start");
    }
}

// Moves all `size` bytes through `move` (a recv or a send), which may take them in parts.
template <class Byte, class Move> void MoveAll(Byte* bytes, std::size_t size, Move move) {
    while (size > 0) {
        const int moved = move(bytes, static_cast<int>(size));
        if (moved <= 0) {
            throw std::runtime_error("the pty peer has gone");
        }
        bytes += moved;
        size -= static_cast<std::size_t>(moved);
    }
}

void SendAll(SOCKET connection, const void* data, std::size_t size) {
    MoveAll(static_cast<const char*>(data), size,
            [connection](const char* bytes, int left) { return send(connection, bytes, left, 0); });
}

void ReadAll(SOCKET connection, void* data, std::size_t size) {
    MoveAll(static_cast<char*>(data), size,
            [connection](char* bytes, int left) { return recv(connection, bytes, left, 0); });
}

struct Reply {
    int32_t status = 0;
    std::string payload;
};

Reply Request(SOCKET connection, uint32_t op, uint32_t a, uint32_t b, const std::string& payload) {
    const std::array<uint32_t, 4> head{op, a, b, static_cast<uint32_t>(payload.size())};
    SendAll(connection, head.data(), sizeof head);
    SendAll(connection, payload.data(), payload.size());
    std::array<uint32_t, 2> answer{};
    ReadAll(connection, answer.data(), sizeof answer);
    if (answer[1] > PtyPeer::MaxPayload) {
        throw std::runtime_error("the pty peer's answer is garbled");
    }
    Reply reply{static_cast<int32_t>(answer[0]), std::string(answer[1], '\0')};
    ReadAll(connection, reply.payload.data(), reply.payload.size());
    return reply;
}

// A connection to the peer at "address:port"; throws when there is none.
SOCKET Connect(const std::string& address) {
    const auto colon = address.rfind(':');
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    if (colon == std::string::npos ||
        inet_pton(AF_INET, address.substr(0, colon).c_str(), &peer.sin_addr) != 1) {
        throw std::runtime_error("the pty peer's address is not host:port: " + address);
    }
    peer.sin_port = htons(static_cast<u_short>(std::atoi(address.c_str() + colon + 1)));
    const SOCKET connection = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (connection == INVALID_SOCKET ||
        connect(connection, reinterpret_cast<sockaddr*>(&peer), sizeof peer) != 0) {
        closesocket(connection);
        throw std::runtime_error("cannot reach the pty peer at " + address);
    }
    // One small request at a time: coalescing would only delay each answer.
    const BOOL on = TRUE;
    setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    return connection;
}

// A size or count as the protocol carries it; one it cannot carry is refused, not cut short.
template <typename Number> uint32_t ToRequestNumber(Number number) {
    if (std::cmp_less(number, 0) || std::cmp_greater(number, INT32_MAX)) {
        throw std::invalid_argument("the pty peer cannot be asked for " + std::to_string(number));
    }
    return static_cast<uint32_t>(number);
}

} // namespace

PeerPtyPair::PeerPtyPair() {
    StartWinsock();
    const char* address = std::getenv(PtyPeer::AddressVariable);
    if (address == nullptr) {
        throw std::runtime_error(std::string("no pty peer: ") + PtyPeer::AddressVariable +
                                 " is unset; run under tools/wine/wine-run.sh");
    }
    address_ = address;
    const SOCKET first = Connect(address_);
    opened_.push_back(first);
    try {
        port_ = Request(first, PtyPeer::opMakePair, 0, 0, "").status;
    } catch (...) {
        closesocket(first);
        throw;
    }
    if (port_ <= 0) {
        closesocket(first);
        throw std::runtime_error("the pty peer has no pair to give");
    }
    idle_.push_back(first);
    slavePath_ = "COM" + std::to_string(port_);
}

PeerPtyPair::~PeerPtyPair() {
    for (const uintptr_t connection : opened_) {
        closesocket(connection);
    }
}

void PeerPtyPair::CloseMaster() {
    Ask(PtyPeer::opCloseMaster);
}

void PeerPtyPair::Send(const std::string& bytes) const {
    Ask(PtyPeer::opSend, 0, 0, bytes);
}

std::string PeerPtyPair::Receive(std::size_t count, std::chrono::milliseconds deadline) const {
    return Ask(PtyPeer::opReceive, static_cast<uint32_t>(count),
               static_cast<uint32_t>(deadline.count()))
        .payload;
}

int PeerPtyPair::SlaveInput() const {
    return Ask(PtyPeer::opSlaveInput).status;
}

uint32_t PeerPtyPair::ModemLines() const {
    return static_cast<uint32_t>(Ask(PtyPeer::opModemLines).status);
}

void PeerPtyPair::SetModemLines(uint32_t raise, uint32_t drop) const {
    Ask(PtyPeer::opSetModemLines, raise, drop);
}

void PeerPtyPair::Echo(std::size_t requestSize, const std::string& answer, int count) const {
    Ask(PtyPeer::opEcho, ToRequestNumber(requestSize), ToRequestNumber(count), answer);
}

void PeerPtyPair::Sink(std::size_t bytes) const {
    Ask(PtyPeer::opSink, ToRequestNumber(bytes));
}

void PeerPtyPair::Source(const std::string& chunk, int times) const {
    Ask(PtyPeer::opSource, ToRequestNumber(times), 0, chunk);
}

PeerPtyPair::Answer PeerPtyPair::Ask(uint32_t op, uint32_t a, uint32_t b,
                                     const std::string& payload) const {
    const uintptr_t connection = TakeConnection();
    // A connection whose request failed midway is out of step: it is not used again.
    const Reply reply = Request(connection, op, a, b, payload);
    GiveBack(connection);
    if (reply.status < 0) {
        throw std::runtime_error("the pty peer refused request " + std::to_string(op) + " (errno " +
                                 std::to_string(-reply.status) + ")");
    }
    return {reply.status, reply.payload};
}

uintptr_t PeerPtyPair::TakeConnection() const {
    {
        const std::lock_guard lock(mutex_);
        if (!idle_.empty()) {
            const uintptr_t connection = idle_.back();
            idle_.pop_back();
            return connection;
        }
    }
    const SOCKET connection = Connect(address_);
    {
        const std::lock_guard lock(mutex_);
        opened_.push_back(connection);
    }
    if (Request(connection, PtyPeer::opJoinPair, static_cast<uint32_t>(port_), 0, "").status !=
        port_) {
        throw std::runtime_error("the pty peer has lost " + slavePath_);
    }
    return connection;
}

void PeerPtyPair::GiveBack(uintptr_t connection) const {
    const std::lock_guard lock(mutex_);
    idle_.push_back(connection);
}
