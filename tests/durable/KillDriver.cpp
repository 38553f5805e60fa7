// Kills a process that changes a Full network on several threads, at a
// random moment, again and again, and checks each reopened folder against
// what the workers had acknowledged.
//
//   tavrik_kill_driver <folder> <kills> <seed>
//
// Each round forks a child that opens the network in <folder>/network and
// runs four workers: three sell seats (fit and book with a request key of
// their own, now and then the same request again, which must answer with
// the same booking) and cancel some of their sales; the fourth edits (new
// airports and flights with capacities, capacities changed) and now and then
// writes a checkpoint. A worker writes a line to its own acknowledgement
// file, and syncs it, only after a call has returned. The parent kills the
// child with SIGKILL after a random 1 to 60 ms, reopens the folder and
// checks: every acknowledged sale is there with its key and passengers,
// every acknowledged cancel is cancelled, every acknowledged airport, flight
// and capacity is there; each flight's sold seats are exactly the
// passengers of the live bookings holding it (nothing half sold) and at
// most its capacity; a retried key answers with its booking.

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "library/Network.h"

using tavrik::Network;
using tavrik::durable::Durability;

namespace {

constexpr int kWorkers = 4;
constexpr int kHubs = 12;  // airports 0..11 joined in a ring and across

std::string folderOf(const std::string& root) { return root + "/network"; }
std::string ackOf(const std::string& root, int worker) { return root + "/ack-" + std::to_string(worker); }

// One acknowledgement: written and synced after the call returned.
class AckFile {
public:
    explicit AckFile(const std::string& path) : fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644)) {
        if (fd < 0) std::_Exit(3);
    }
    ~AckFile() { ::close(fd); }
    void write(const std::string& line) {
        const std::string text = line + "\n";
        if (::write(fd, text.data(), text.size()) != ssize_t(text.size()) || ::fdatasync(fd) != 0) std::_Exit(3);
    }

private:
    int fd;
};

// The network the rounds start from, made before the first kill.
void setUp(Network& n) {
    for (int a = 0; a < kHubs; ++a) n.insertAirport(a, "hub " + std::to_string(a));
    for (int a = 0; a < kHubs; ++a) {
        n.insertFlight(100 + a, "ring", 1, a, (a + 1) % kHubs);
        n.insertFlight(200 + a, "across", 2, a, (a + 5) % kHubs);
        n.setSeats(a, 100 + a, 400);
        n.setSeats(a, 200 + a, 300);
    }
}

[[noreturn]] void child(const std::string& root, int round, std::uint64_t seed) {
    std::unique_ptr<Network> n;
    try {
        n = Network::open(folderOf(root), Durability::Full);
    } catch (const std::exception& e) {
        std::cerr << "child: " << e.what() << "\n";
        std::_Exit(4);
    }
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w)
        workers.emplace_back([&, w] {
            AckFile ack(ackOf(root, w));
            std::mt19937_64 rng(seed * 31 + std::uint64_t(w));
            auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
            std::vector<std::int64_t> mine;
            for (int i = 0;; ++i) {
                try {
                    if (w == kWorkers - 1) {
                        // Edits: airports and flights numbered by round and
                        // step, so that none is taken.
                        const int k = pick(0, 9);
                        const int airport = 1000 + round * 1000 + i;
                        if (k < 4) {
                            n->insertAirport(airport, "new");
                            n->insertFlight(airport, "spoke", 1, pick(0, kHubs - 1), airport);
                            ack.write("A " + std::to_string(airport));
                        } else if (k < 8) {
                            const int hub = pick(0, kHubs - 1);
                            const int seats = pick(300, 500);
                            // What may be there without an acknowledgement:
                            // a kill between the change and its line.
                            ack.write("s " + std::to_string(hub) + " " + std::to_string(seats));
                            n->setSeats(hub, 100 + hub, seats);
                            ack.write("S " + std::to_string(hub) + " " + std::to_string(seats));
                        } else if (k == 8) {
                            n->checkpoint();
                        }
                        continue;
                    }
                    const int k = pick(0, 9);
                    if (k < 7 || mine.empty()) {
                        const std::string key = "r" + std::to_string(round) + "w" + std::to_string(w) + "n" +
                                                std::to_string(i);
                        const int from = pick(0, kHubs - 1), to = pick(0, kHubs - 1);
                        if (from == to) continue;
                        const int passengers = pick(1, 3);
                        const TBooking b = n->fitAndBookFor(20, from, to, passengers, &key);
                        ack.write("B " + std::to_string(b.id) + " " + key + " " + std::to_string(passengers));
                        mine.push_back(b.id);
                        if (pick(0, 3) == 0) {
                            // A retry: the same answer, nothing sold.
                            const TBooking again = n->fitAndBookFor(20, from, to, passengers, &key);
                            if (again.id != b.id) std::_Exit(5);
                        }
                    } else {
                        const std::size_t at = std::size_t(pick(0, int(mine.size()) - 1));
                        const std::int64_t id = mine[at];
                        mine.erase(mine.begin() + std::ptrdiff_t(at));
                        n->cancelBooking(id);
                        ack.write("C " + std::to_string(id));
                    }
                } catch (const tavrik::Refusal&) {
                    // Sold out, or no route: nothing to acknowledge.
                }
            }
        });
    for (auto& t : workers) t.join();
    std::_Exit(0);
}

struct Expected {
    std::map<std::int64_t, std::pair<std::string, int>> bookings;  // id -> key, passengers
    std::vector<std::int64_t> cancels;
    std::vector<int> airports;
    std::map<int, int> capacities;  // hub -> the last capacity set on its ring flight
    // hub -> capacities tried after that one, never acknowledged
    std::map<int, std::vector<int>> tried;
};

Expected readAcks(const std::string& root) {
    Expected e;
    for (int w = 0; w < kWorkers; ++w) {
        std::ifstream in(ackOf(root, w));
        for (std::string line; std::getline(in, line);) {
            std::istringstream words(line);
            std::string kind;
            words >> kind;
            if (kind == "B") {
                std::int64_t id;
                std::string key;
                int passengers;
                if (words >> id >> key >> passengers) e.bookings[id] = {key, passengers};
            } else if (kind == "C") {
                std::int64_t id;
                if (words >> id) e.cancels.push_back(id);
            } else if (kind == "A") {
                int a;
                if (words >> a) e.airports.push_back(a);
            } else if (kind == "S") {
                int hub, seats;
                if (words >> hub >> seats) {
                    e.capacities[hub] = seats;
                    e.tried[hub].clear();
                }
            } else if (kind == "s") {
                int hub, seats;
                if (words >> hub >> seats) e.tried[hub].push_back(seats);
            }
            // A line cut by the kill was never acknowledged.
        }
    }
    return e;
}

int check(const std::string& root, int round) {
    std::unique_ptr<Network> n;
    try {
        n = Network::open(folderOf(root), Durability::Full);
    } catch (const std::exception& e) {
        std::cerr << "round " << round << ": reopening failed: " << e.what() << "\n";
        return 1;
    }
    const Expected e = readAcks(root);
    int failures = 0;
    auto fail = [&](const std::string& what) {
        if (++failures <= 10) std::cerr << "round " << round << ": " << what << "\n";
    };
    for (const auto& [id, sale] : e.bookings) {
        try {
            const TBooking b = n->readBooking(id);
            if (b.key != sale.first || b.passengers != sale.second)
                fail("booking " + std::to_string(id) + " is not the one acknowledged");
        } catch (const tavrik::Refusal&) {
            fail("acknowledged booking " + std::to_string(id) + " is lost");
        }
    }
    for (std::int64_t id : e.cancels) {
        try {
            if (!n->readBooking(id).cancelled) fail("acknowledged cancel of " + std::to_string(id) + " is lost");
        } catch (const tavrik::Refusal&) {
            fail("cancelled booking " + std::to_string(id) + " is lost");
        }
    }
    for (int a : e.airports) {
        try {
            n->readAirport(a);
        } catch (const tavrik::Refusal&) {
            fail("acknowledged airport " + std::to_string(a) + " is lost");
        }
    }
    for (const auto& [hub, seats] : e.capacities) {
        const int now = n->readSeats(hub, 100 + hub).seats;
        const std::vector<int>& later = e.tried.at(hub);
        if (now != seats && std::find(later.begin(), later.end(), now) == later.end())
            fail("acknowledged capacity " + std::to_string(seats) + " of hub " + std::to_string(hub) + " is lost");
    }
    // Every flight's sold seats are the passengers of its live bookings,
    // within its capacity.
    for (const auto& airport : n->readAirports()) {
        for (const auto& f : n->readAirport(airport.airport).flights) {
            if (f.from != airport.airport) continue;
            const TFlightSeats seats = n->readSeats(f.from, f.flight);
            int held = 0;
            for (const TBooking& b : n->readBookings(f.from, f.flight)) held += b.passengers;
            if (held != seats.sold)
                fail("flight " + std::to_string(f.flight) + " from " + std::to_string(f.from) + ": " +
                     std::to_string(seats.sold) + " sold, bookings hold " + std::to_string(held));
            if (seats.limited() && seats.sold > seats.seats)
                fail("flight " + std::to_string(f.flight) + " from " + std::to_string(f.from) + " oversold");
        }
    }
    return failures;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: tavrik_kill_driver <folder> <kills> <seed>\n";
        return 2;
    }
    const std::string root = argv[1];
    const int kills = std::atoi(argv[2]);
    const int maxDelay = std::getenv("TAVRIK_KILL_MS") ? std::atoi(std::getenv("TAVRIK_KILL_MS")) : 60;
    std::mt19937_64 rng(std::strtoull(argv[3], nullptr, 10));
    std::system(("rm -rf '" + root + "'").c_str());
    if (::mkdir(root.c_str(), 0755) != 0) {
        std::perror(root.c_str());
        return 2;
    }
    {
        auto n = Network::open(folderOf(root), Durability::Full);
        setUp(*n);
    }
    std::int64_t sales = 0;
    for (int round = 0; round < kills; ++round) {
        const std::uint64_t seed = rng();
        const pid_t pid = ::fork();
        if (pid < 0) {
            std::perror("fork");
            return 2;
        }
        if (pid == 0) child(root, round, seed);
        const int delay = std::uniform_int_distribution<int>(1, maxDelay)(rng);
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (!WIFSIGNALED(status) || WTERMSIG(status) != SIGKILL) {
            std::cerr << "round " << round << ": the workload stopped by itself (status " << status << ")\n";
            return 1;
        }
        if (check(root, round) != 0) return 1;
        sales = std::int64_t(readAcks(root).bookings.size());
    }
    std::cout << kills << " kills, " << sales << " acknowledged sales, 0 lost\n";
    std::system(("rm -rf '" + root + "'").c_str());
    return 0;
}
