#pragma once

// The pty peer's pairs and the connections that ask for them.

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

// Made files are listed where the peer's end can find them: a peer that is told to end leaves no
// COM port behind in the prefix.
class MadeFiles {
public:
    void Add(const std::string& path);
    void Remove(const std::string& path);
    void RemoveAll();

private:
    std::mutex mutex_;
    std::set<std::string> paths_;
};

struct PeerPlaces {
    std::string dosdevices; // the prefix's folder of drive and port links
    std::string lines;      // the folder of the pairs' modem lines
};

class PeerPair;

// The pairs by COM port number, for connections that join one.
class PeerPairs {
public:
    PeerPairs(PeerPlaces places, MadeFiles& made) : places_(std::move(places)), made_(made) {}

    // A new pair mapped as the first free COM port; throws when none can be made.
    std::shared_ptr<PeerPair> Make();
    // The pair of COM port `port` while it lasts, or null.
    std::shared_ptr<PeerPair> Find(int port);

private:
    PeerPlaces places_;
    MadeFiles& made_;
    std::mutex mutex_;
    std::map<int, std::weak_ptr<PeerPair>> pairs_;
};

// Answers the connection's requests until it closes.
void ServeConnection(int connection, PeerPairs& pairs);
