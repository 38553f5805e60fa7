// Figures of networks kept in a folder, and of the two embedded stores the
// journal was measured against (SQLite in WAL mode, LMDB):
//  - bookings per second in memory, and kept with Full and Normal, on 1 and
//    8 threads (a one-leg booking on the bundled network);
//  - appends per second of a 60-byte record with a commit each, for the
//    project's journal, SQLite (WAL, synchronous FULL and NORMAL) and LMDB
//    (synced and MDB_NOSYNC), on 1 and 8 threads;
//  - reopening the bundled network with 1,000,000 journaled bookings;
//  - opening the bundled network from its snapshot (wall and processor
//    time), against loading it by one call per airport and flight, and
//    loading it in one call.
// Prints rows for scripts/bench: ROW2 <case> <figure> <unit> <note> and
// TARGET <name> <measured> <goal> <status>.
//
//   tavrik-durable-bench <openflights dir> <scratch folder> [bookings for recovery]

#include <lmdb.h>
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "durable/Store.h"
#include "library/Network.h"
#include "openflights/OpenFlightsNetwork.h"

using tavrik::Network;
using tavrik::durable::Durability;
using Clock = std::chrono::steady_clock;

namespace {

double seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// The calling thread's processor time in seconds: what the work costs, without the waits for
// a processor (other programs) or for the disk (the syncs of opening a folder).
double threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

void row(const std::string& what, double figure, const char* unit, const std::string& note) {
    std::printf("ROW2\t%s\t%.0f\t%s\t%s\n", what.c_str(), figure, unit, note.c_str());
}

void target(const std::string& what, const std::string& measured, const std::string& goal, bool met) {
    std::printf("TARGET\t%s\t%s\t%s\t%s\n", what.c_str(), measured.c_str(), goal.c_str(), met ? "met" : "MISSED");
}

std::string fixed(double v, int digits = 2) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", digits, v);
    return text;
}

void wipe(const std::string& path) { (void)!std::system(("rm -rf '" + path + "'").c_str()); }

struct Bundled {
    std::vector<tavrik::AirportItem> airports;
    std::vector<tavrik::FlightItem> flights;
};

Bundled bundled(const std::string& dir) {
    const openflights::Network net = openflights::read(dir);
    Bundled b;
    for (const auto& a : net.airports) b.airports.push_back({a.id, a.name});
    for (const auto& f : net.flights) b.flights.push_back({f.number, f.name, f.days, f.from, f.to});
    return b;
}

// The one-leg routes that bookings take: the first flights, in turn.
std::vector<TLegRequest> legsOf(const Bundled& b, std::size_t count) {
    std::vector<TLegRequest> legs;
    for (std::size_t i = 0; i < count && i < b.flights.size(); ++i)
        legs.push_back({b.flights[i].flight, b.flights[i].from, b.flights[i].to});
    return legs;
}

// Bookings per second on `threads` threads for about `span` seconds.
double bookingRate(Network& n, const std::vector<TLegRequest>& legs, int threads, double span) {
    std::atomic<bool> stop{false};
    std::atomic<long> done{0};
    std::vector<std::thread> workers;
    const auto start = Clock::now();
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            long mine = 0;
            for (std::size_t i = std::size_t(t); !stop.load(std::memory_order_relaxed); i += std::size_t(threads)) {
                n.bookRoute({legs[i % legs.size()]}, 1, nullptr);
                ++mine;
            }
            done += mine;
        });
    std::this_thread::sleep_for(std::chrono::duration<double>(span));
    stop = true;
    for (auto& w : workers) w.join();
    return double(done.load()) / seconds(start);
}

// ---- the embedded stores, one 60-byte record per commit ----

template <class Append>
double appendRate(int threads, double span, Append&& append) {
    std::atomic<bool> stop{false};
    std::atomic<long> done{0};
    std::vector<std::thread> workers;
    const auto start = Clock::now();
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&] {
            long mine = 0;
            while (!stop.load(std::memory_order_relaxed)) {
                append();
                ++mine;
            }
            done += mine;
        });
    std::this_thread::sleep_for(std::chrono::duration<double>(span));
    stop = true;
    for (auto& w : workers) w.join();
    return double(done.load()) / seconds(start);
}

const std::string record(60, 'r');

double journalRate(const std::string& folder, Durability mode, int threads, double span) {
    wipe(folder);
    auto store = tavrik::durable::Store::open(
        tavrik::durable::systemFiles(), folder, mode, [] { return std::string(); }, [](std::string_view) {},
        [](std::string_view) {});
    std::mutex exclusive;
    return appendRate(threads, span, [&] {
        std::uint64_t n;
        {
            std::lock_guard<std::mutex> lock(exclusive);
            n = store->append(record);
        }
        store->commit(n);
    });
}

// Stops the benchmark when a compared store's call fails: a failing call
// returns at once and would be counted as a commit.
void must(bool ok, const char* what, const std::string& detail) {
    if (ok) return;
    std::fprintf(stderr, "benchmark: %s failed: %s\n", what, detail.c_str());
    std::exit(1);
}

double sqliteRate(const std::string& folder, bool full, int threads, double span) {
    wipe(folder);
    (void)!std::system(("mkdir -p '" + folder + "'").c_str());
    sqlite3* db = nullptr;
    must(sqlite3_open((folder + "/db").c_str(), &db) == SQLITE_OK, "sqlite3_open", folder);
    for (const char* sql : {"PRAGMA journal_mode=WAL", full ? "PRAGMA synchronous=FULL" : "PRAGMA synchronous=NORMAL",
                            "CREATE TABLE journal(n INTEGER PRIMARY KEY, bytes BLOB)"})
        must(sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK, sql, sqlite3_errmsg(db));
    sqlite3_stmt* insert = nullptr;
    must(sqlite3_prepare_v2(db, "INSERT INTO journal(bytes) VALUES (?)", -1, &insert, nullptr) == SQLITE_OK,
         "sqlite3_prepare_v2", sqlite3_errmsg(db));
    // One writer at a time: SQLite serialises write transactions.
    std::mutex writer;
    const double rate = appendRate(threads, span, [&] {
        std::lock_guard<std::mutex> lock(writer);
        sqlite3_bind_blob(insert, 1, record.data(), int(record.size()), SQLITE_STATIC);
        must(sqlite3_step(insert) == SQLITE_DONE, "INSERT", sqlite3_errmsg(db));
        sqlite3_reset(insert);
    });
    sqlite3_finalize(insert);
    sqlite3_close(db);
    return rate;
}

double lmdbRate(const std::string& folder, bool sync, int threads, double span) {
    wipe(folder);
    (void)!std::system(("mkdir -p '" + folder + "'").c_str());
    MDB_env* env = nullptr;
    auto lmdb = [](int rc, const char* what) { must(rc == MDB_SUCCESS, what, mdb_strerror(rc)); };
    lmdb(mdb_env_create(&env), "mdb_env_create");
    lmdb(mdb_env_set_mapsize(env, std::size_t(1) << 30), "mdb_env_set_mapsize");
    lmdb(mdb_env_open(env, folder.c_str(), sync ? 0 : MDB_NOSYNC, 0644), "mdb_env_open");
    MDB_dbi dbi;
    {
        MDB_txn* txn;
        lmdb(mdb_txn_begin(env, nullptr, 0, &txn), "mdb_txn_begin");
        lmdb(mdb_dbi_open(txn, nullptr, 0, &dbi), "mdb_dbi_open");
        lmdb(mdb_txn_commit(txn), "mdb_txn_commit");
    }
    std::atomic<std::uint64_t> next{0};
    const double rate = appendRate(threads, span, [&] {
        // LMDB has one write transaction at a time; begin waits for it.
        MDB_txn* txn;
        lmdb(mdb_txn_begin(env, nullptr, 0, &txn), "mdb_txn_begin");
        // Big-endian, so that LMDB's byte order is the number's and every
        // key goes at the end (MDB_APPEND refuses any other).
        std::uint64_t key = __builtin_bswap64(++next);
        MDB_val k{sizeof key, &key}, v{record.size(), const_cast<char*>(record.data())};
        lmdb(mdb_put(txn, dbi, &k, &v, MDB_APPEND), "mdb_put");
        lmdb(mdb_txn_commit(txn), "mdb_txn_commit");
    });
    mdb_env_close(env);
    return rate;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: tavrik-durable-bench <openflights dir> <scratch folder> [bookings]\n");
        return 2;
    }
    const std::string scratch = argv[2];
    const long journaled = argc > 3 ? std::atol(argv[3]) : 1000000;
    const double span = 2.0;
    (void)!std::system(("mkdir -p '" + scratch + "'").c_str());
    const Bundled net = bundled(argv[1]);
    const auto legs = legsOf(net, 5000);
    std::printf("INFO\tbundled network: %zu airports, %zu flights\n", net.airports.size(), net.flights.size());

    // TAVRIK_DURABLE_BENCH=recovery: only the reopening figures.
    const bool all = std::getenv("TAVRIK_DURABLE_BENCH") == nullptr;
    // Loading by calls, as a baseline (the best of three).
    double loadCalls = 1e9, loadCallsProcessor = 1e9;
    for (int i = 0; i < 3; ++i) {
        Network n;
        const auto start = Clock::now();
        const double processor = threadSeconds();
        for (const auto& a : net.airports) n.insertAirport(a.airport, a.name);
        for (const auto& f : net.flights) n.insertFlight(f.flight, f.name, f.days, f.from, f.to);
        loadCalls = std::min(loadCalls, seconds(start));
        loadCallsProcessor = std::min(loadCallsProcessor, threadSeconds() - processor);
    }
    row("Load the bundled network by calls", loadCalls * 1000, "ms", "one insertAirport / insertFlight per item, best of 3");
    {
        double once = 1e9;
        for (int i = 0; i < 3; ++i) {
            Network n;
            auto airports = net.airports;
            auto flights = net.flights;
            const auto start = Clock::now();
            n.load(std::move(airports), std::move(flights));
            once = std::min(once, seconds(start));
        }
        row("Load the bundled network in one call", once * 1000, "ms", "Network::load into an empty network, best of 3");
    }

    // Bookings per second.
    double memory1 = 0;
    if (all) {
        Network n;
        n.load(net.airports, net.flights);
        memory1 = bookingRate(n, legs, 1, span);
        row("Bookings in memory, 1 thread", memory1, "/s", "bookRoute of one leg");
        row("Bookings in memory, 8 threads", bookingRate(n, legs, 8, span), "/s", "bookRoute of one leg");
    }
    double rate[2][2] = {};
    for (int m = 0; m < 2 && all; ++m) {
        const Durability mode = m == 0 ? Durability::Full : Durability::Normal;
        const std::string folder = scratch + "/bookings";
        wipe(folder);
        auto n = Network::open(folder, mode);
        n->load(net.airports, net.flights);
        for (int t = 0; t < 2; ++t) {
            const int threads = t == 0 ? 1 : 8;
            rate[m][t] = bookingRate(*n, legs, threads, span);
            row(std::string("Bookings kept, ") + (m == 0 ? "Full" : "Normal") + ", " + std::to_string(threads) +
                    (threads == 1 ? " thread" : " threads"),
                rate[m][t], "/s", m == 0 ? "synced before the call returns" : "written before the call returns");
        }
    }
    if (all) target("Full, 8 threads / Full, 1 thread", fixed(rate[0][1] / rate[0][0]) + "x", ">= 5x",
           rate[0][1] >= 5 * rate[0][0]);
    if (all) target("Normal, 1 thread / in memory, 1 thread", fixed(memory1 / rate[1][0]) + "x slower", "<= 3x",
           rate[1][0] * 3 >= memory1);

    // The stores compared, one commit per 60-byte record.
    for (int threads : {1, 8}) {
        if (!all) break;
        const std::string t = threads == 1 ? ", 1 thread" : ", 8 threads";
        row("Journal, Full" + t, journalRate(scratch + "/j", Durability::Full, threads, span), "/s", "append + commit");
        row("Journal, Normal" + t, journalRate(scratch + "/j", Durability::Normal, threads, span), "/s",
            "append + commit");
        row("SQLite WAL, synchronous=FULL" + t, sqliteRate(scratch + "/s", true, threads, span), "/s",
            "one INSERT transaction");
        row("SQLite WAL, synchronous=NORMAL" + t, sqliteRate(scratch + "/s", false, threads, span), "/s",
            "one INSERT transaction");
        row("LMDB, synced" + t, lmdbRate(scratch + "/l", true, threads, span), "/s", "one put transaction");
        row("LMDB, MDB_NOSYNC" + t, lmdbRate(scratch + "/l", false, threads, span), "/s", "one put transaction");
    }

    // Recovery: the bundled network and `journaled` bookings in the journal.
    {
        const std::string folder = scratch + "/recovery";
        wipe(folder);
        {
            auto n = Network::open(folder, Durability::Normal);
            n->load(net.airports, net.flights);
            for (long i = 0; i < journaled; ++i) n->bookRoute({legs[std::size_t(i) % legs.size()]}, 1, nullptr);
            n->closeFolder();
        }
        double best = 1e9;
        for (int i = 0; i < 3; ++i) {
            const auto start = Clock::now();
            auto n = Network::open(folder, Durability::Full);
            best = std::min(best, seconds(start));
            if (n->seatService()->bookingCount() != journaled) {
                std::fprintf(stderr, "recovered %lld bookings\n", (long long)n->seatService()->bookingCount());
                return 1;
            }
        }
        row("Reopen: bundled network + " + std::to_string(journaled) + " journaled bookings", best * 1000, "ms",
            "best of 3");
        target("Reopen with " + std::to_string(journaled) + " journaled bookings", fixed(best, 3) + " s", "<= 1 s",
               best <= 1.0);
        // The same from a snapshot.
        {
            auto n = Network::open(folder, Durability::Full);
            n->checkpoint();
        }
        best = 1e9;
        for (int i = 0; i < 3; ++i) {
            const auto start = Clock::now();
            auto n = Network::open(folder, Durability::Full);
            best = std::min(best, seconds(start));
        }
        row("Reopen: the same from its snapshot", best * 1000, "ms", "best of 3");
        wipe(folder);
    }
    {
        const std::string folder = scratch + "/snapshot";
        wipe(folder);
        {
            auto n = Network::open(folder, Durability::Normal);
            n->load(net.airports, net.flights);
            n->checkpoint();
        }
        double best = 1e9;
        for (int i = 0; i < 3; ++i) {
            const auto start = Clock::now();
            auto n = Network::open(folder, Durability::Full);
            best = std::min(best, seconds(start));
        }
        double processor = 1e9;
        for (int i = 0; i < 3; ++i) {
            const double start = threadSeconds();
            auto n = Network::open(folder, Durability::Full);
            processor = std::min(processor, threadSeconds() - start);
        }
        row("Open the bundled network from its snapshot", best * 1000, "ms", "best of 3");
        row("  the same in processor time", processor * 1000, "ms",
            "best of 3, against " + fixed(loadCallsProcessor * 1000, 1) + " ms for the load by calls");
        target("Snapshot open / load by calls", fixed(best / loadCalls) + "x", "<= 0.3x", best <= 0.3 * loadCalls);
        std::printf("INFO\tin processor time: %sx (the rest of the wall time: the syncs of opening a folder)\n",
                    fixed(processor / loadCallsProcessor).c_str());
        // Of which the network itself: the snapshot's bytes read into an
        // empty network, no files.
        std::string state;
        {
            Network n;
            n.load(net.airports, net.flights);
            state = n.saveState();
        }
        double restore = 1e9;
        for (int i = 0; i < 3; ++i) {
            Network n;
            const auto start = Clock::now();
            n.restoreState(state);
            restore = std::min(restore, seconds(start));
        }
        row("  of which the network read from the snapshot's bytes", restore * 1000, "ms",
            "restoreState, no files, best of 3");
        wipe(folder);
    }
    wipe(scratch);
    return 0;
}
