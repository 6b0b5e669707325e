#include "PeerSession.h"

#include "LinuxPtyPair.h"
#include "PtyModemLines.h"
#include "PtyPeerProtocol.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

// A made file, listed while it exists.
class MadeFile {
public:
    MadeFile(std::string path, MadeFiles& made) : path_(std::move(path)), made_(made) {
        made_.Add(path_);
    }
    ~MadeFile() { made_.Remove(path_); }
    MadeFile(const MadeFile&) = delete;
    MadeFile& operator=(const MadeFile&) = delete;

    const std::string& Path() const { return path_; }

private:
    std::string path_;
    MadeFiles& made_;
};

namespace {

// A serial port has no line discipline, while a fresh pseudo-terminal's slave is a cooked
// terminal with XON/XOFF output flow: Wine reads that record as the port's and the flow-control
// and line-editing bytes a test sends would never arrive. The master's termios calls reach the
// slave's record.
void MakeSlaveRaw(int master) {
    termios2 tio{};
    if (ioctl(master, TCGETS2, &tio) != 0) {
        throw std::runtime_error("cannot read the pseudo-terminal's settings");
    }
    tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                     IXANY | IMAXBEL | IUTF8);
    tio.c_oflag &= ~OPOST;
    tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag = (tio.c_cflag & ~(CSIZE | PARENB)) | CS8;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (ioctl(master, TCSETS2, &tio) != 0) {
        throw std::runtime_error("cannot make the pseudo-terminal raw");
    }
}

} // namespace

// A pair with its file of modem lines and its COM port link, which go with it.
class PeerPair {
public:
    PeerPair(const PeerPlaces& places, MadeFiles& made)
        : lines(PtyModemLines::FileFor(places.lines, SlaveNumber()), made) {
        MakeSlaveRaw(pty.Master());
        if (!PtyModemLines::Create(lines.Path())) {
            throw std::runtime_error("cannot make the file of modem lines " + lines.Path());
        }
    }

    LinuxPtyPair pty;
    MadeFile lines;
    std::unique_ptr<MadeFile> link;
    int port = 0;

private:
    unsigned SlaveNumber() const {
        const std::string& path = pty.SlavePath();
        return static_cast<unsigned>(std::stoul(path.substr(path.rfind('/') + 1)));
    }
};

namespace {

// Moves all `size` bytes through `move` (a read or a send), which may take them in parts.
template <class Byte, class Move> bool MoveAll(Byte* bytes, std::size_t size, Move move) {
    while (size > 0) {
        const ssize_t moved = move(bytes, size);
        if (moved < 0 && errno == EINTR) {
            continue;
        }
        if (moved <= 0) {
            return false;
        }
        bytes += moved;
        size -= static_cast<std::size_t>(moved);
    }
    return true;
}

bool ReadAll(int fd, void* data, std::size_t size) {
    return MoveAll(static_cast<char*>(data), size,
                   [fd](char* bytes, std::size_t left) { return read(fd, bytes, left); });
}

bool WriteAll(int fd, const void* data, std::size_t size) {
    return MoveAll(static_cast<const char*>(data), size, [fd](const char* bytes, std::size_t left) {
        return send(fd, bytes, left, MSG_NOSIGNAL);
    });
}

bool Reply(int connection, int32_t status, const std::string& payload = "") {
    const std::array<uint32_t, 2> head{static_cast<uint32_t>(status),
                                       static_cast<uint32_t>(payload.size())};
    return WriteAll(connection, head.data(), sizeof head) &&
           WriteAll(connection, payload.data(), payload.size());
}

struct LineBit {
    uint32_t peer;
    int tiocm;
};
constexpr std::array<LineBit, 6> LineBits{{{PtyPeer::lineDtr, TIOCM_DTR},
                                           {PtyPeer::lineRts, TIOCM_RTS},
                                           {PtyPeer::lineCts, TIOCM_CTS},
                                           {PtyPeer::lineDsr, TIOCM_DSR},
                                           {PtyPeer::lineRing, TIOCM_RI},
                                           {PtyPeer::lineCarrier, TIOCM_CAR}}};

int ToTiocm(uint32_t lines) {
    int bits = 0;
    for (const LineBit& line : LineBits) {
        bits |= (lines & line.peer) != 0 ? line.tiocm : 0;
    }
    return bits;
}

uint32_t FromTiocm(int bits) {
    uint32_t lines = 0;
    for (const LineBit& line : LineBits) {
        lines |= (bits & line.tiocm) != 0 ? line.peer : 0;
    }
    return lines;
}

// The reply to one request about `pair`; false when the connection has gone.
bool Answer(int connection, PeerPair& pair, uint32_t op, uint32_t a, uint32_t b,
            const std::string& payload) {
    const std::string& lines = pair.lines.Path();
    switch (op) {
    case PtyPeer::opSend:
        pair.pty.Send(payload);
        return Reply(connection, 0);
    case PtyPeer::opReceive:
        return Reply(connection, 0, pair.pty.Receive(a, std::chrono::milliseconds(b)));
    case PtyPeer::opCloseMaster:
        pair.pty.CloseMaster();
        return Reply(connection, 0);
    case PtyPeer::opSlaveInput:
        return Reply(connection, pair.pty.SlaveInput());
    case PtyPeer::opModemLines: {
        const int bits = PtyModemLines::Read(lines);
        return Reply(connection, bits < 0 ? -EIO : static_cast<int32_t>(FromTiocm(bits)));
    }
    case PtyPeer::opSetModemLines: {
        const int bits = PtyModemLines::Update(lines, ToTiocm(a & PtyPeer::PeerLines),
                                               ToTiocm(b & PtyPeer::PeerLines));
        return Reply(connection, bits < 0 ? -EIO : 0);
    }
    case PtyPeer::opEcho:
        pair.pty.Echo(a, payload, static_cast<int>(b));
        return Reply(connection, 0);
    case PtyPeer::opSink:
        pair.pty.Sink(a);
        return Reply(connection, 0);
    case PtyPeer::opSource:
        pair.pty.Source(payload, static_cast<int>(a));
        return Reply(connection, 0);
    default:
        return Reply(connection, -EINVAL);
    }
}

struct Request {
    std::array<uint32_t, 4> head{}; // op, a, b, payload length
    std::string payload;
};

bool ReadRequest(int connection, Request& request) {
    if (!ReadAll(connection, request.head.data(), sizeof request.head) ||
        request.head[3] > PtyPeer::MaxPayload) {
        return false;
    }
    request.payload.assign(request.head[3], '\0');
    return ReadAll(connection, request.payload.data(), request.payload.size());
}

} // namespace

void MadeFiles::Add(const std::string& path) {
    const std::lock_guard lock(mutex_);
    paths_.insert(path);
}

void MadeFiles::Remove(const std::string& path) {
    const std::lock_guard lock(mutex_);
    unlink(path.c_str());
    paths_.erase(path);
}

void MadeFiles::RemoveAll() {
    const std::lock_guard lock(mutex_);
    for (const std::string& path : paths_) {
        unlink(path.c_str());
    }
    paths_.clear();
}

std::shared_ptr<PeerPair> PeerPairs::Make() {
    auto pair = std::make_shared<PeerPair>(places_, made_);
    // The first free port from COM5 up, claimed by making its link: peers of programs that run
    // at once share the prefix, and the link that exists already is another's.
    for (int port = 5; port <= 255 && !pair->link; ++port) {
        const std::string link = places_.dosdevices + "/com" + std::to_string(port);
        if (symlink(pair->pty.SlavePath().c_str(), link.c_str()) == 0) {
            pair->link = std::make_unique<MadeFile>(link, made_);
            pair->port = port;
        } else if (errno != EEXIST) {
            break;
        }
    }
    if (!pair->link) {
        throw std::runtime_error("no COM port is free in " + places_.dosdevices);
    }
    const std::lock_guard lock(mutex_);
    pairs_[pair->port] = pair;
    return pair;
}

std::shared_ptr<PeerPair> PeerPairs::Find(int port) {
    const std::lock_guard lock(mutex_);
    const auto found = pairs_.find(port);
    return found != pairs_.end() ? found->second.lock() : nullptr;
}

void ServeConnection(int connection, PeerPairs& pairs) {
    Request request;
    if (!ReadRequest(connection, request)) {
        return;
    }
    std::shared_ptr<PeerPair> pair;
    try {
        pair = request.head[0] == PtyPeer::opMakePair ? pairs.Make()
               : request.head[0] == PtyPeer::opJoinPair
                   ? pairs.Find(static_cast<int>(request.head[1]))
                   : nullptr;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "pty-peer: %s\n", error.what());
    }
    if (!Reply(connection, pair ? pair->port : -ENOENT) || !pair) {
        return;
    }
    while (ReadRequest(connection, request)) {
        try {
            if (!Answer(connection, *pair, request.head[0], request.head[1], request.head[2],
                        request.payload)) {
                return;
            }
        } catch (const std::exception& error) {
            std::fprintf(stderr, "pty-peer: COM%d: %s\n", pair->port, error.what());
            if (!Reply(connection, -EIO)) {
                return;
            }
        }
    }
}
