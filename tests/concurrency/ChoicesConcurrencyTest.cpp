// Route choices from several threads on one tavrik::Network: queries share
// the network's lock, the choices' copy of the network is built by the
// first query and changed in place by every edit and seat sale (which hold
// the lock alone), and each thread searches on a workspace of its own. While nothing edits, every thread's answers must be
// the answers of one thread alone; while a thread edits, answers must keep
// to the network as it was at some moment (routes whose legs join up, fronts
// that fall in days as they rise in legs). The ThreadSanitizer build is
// where races show.

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <string>
#include <thread>
#include <vector>

#include "library/Network.h"

namespace {

#if defined(TAVRIK_STRESS_TSAN) || defined(TAVRIK_STRESS_SANITIZED)
constexpr int kRounds = 30;
#else
constexpr int kRounds = 200;
#endif

// A grid of 36 airports, each with flights to its right and lower
// neighbours and a few long ones, days 1..3. Returns the numbers of the
// flights to the lower neighbours, by departure.
std::vector<int> build(tavrik::Network& n) {
    for (int a = 0; a < 36; ++a) n.insertAirport(a, "A" + std::to_string(a));
    int flight = 1;
    std::vector<int> down;
    for (int a = 0; a < 36; ++a) {
        if (a % 6 != 5) n.insertFlight(flight++, "F", 1 + a % 3, a, a + 1);
        if (a < 30) {
            down.push_back(flight);
            n.insertFlight(flight++, "F", 1 + (a / 6) % 3, a, a + 6);
        }
        if (a % 7 == 0 && a + 14 < 36) n.insertFlight(flight++, "F", 3, a, a + 14);
    }
    return down;
}

Choices::Query query(int from, int to) {
    Choices::Query q;
    q.from = {from};
    q.to = {to};
    return q;
}

std::string text(const std::vector<tavrik::ChoiceRoute>& routes) {
    std::string t;
    for (const auto& r : routes) {
        t += std::to_string(r.days) + ":";
        for (const auto& leg : r.legs) t += std::to_string(leg.flight) + ",";
        t += ";";
    }
    return t;
}

bool joined(const tavrik::ChoiceRoute& r) {
    int at = r.from;
    long long days = 0;
    for (const auto& leg : r.legs) {
        if (leg.from != at) return false;
        at = leg.to;
        days += leg.days;
    }
    return at == r.to && days == r.days;
}

TEST(ChoicesConcurrency, ThreadsAgreeWithOneThread) {
    tavrik::Network n;
    build(n);
    std::vector<std::string> expected;
    for (int q = 0; q < 12; ++q) {
        expected.push_back(text(n.front(query(q, 35 - q), INT_MAX)) + "|" +
                           text(n.alternatives(query(q, 35 - q), INT_MAX, 4)));
    }
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kRounds; ++i) {
                const int q = (i + t) % 12;
                const std::string got = text(n.front(query(q, 35 - q), INT_MAX)) + "|" +
                                        text(n.alternatives(query(q, 35 - q), INT_MAX, 4));
                if (got != expected[static_cast<std::size_t>(q)]) ++wrong;
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(0, wrong.load());
}

TEST(ChoicesConcurrency, QueriesBesideEdits) {
    tavrik::Network n;
    const std::vector<int> down = build(n);
    // One seat on every flight to a lower neighbour: never one for two
    // passengers, and none for one once the editor has sold it.
    for (int a = 0; a < 30; ++a) n.setSeats(a, down[static_cast<std::size_t>(a)], 1);
    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};
    std::thread editor([&] {
        for (int i = 0; i < kRounds; ++i) {
            n.insertFlight(1000 + i, "E", 1 + i % 3, i % 35, (i * 7 + 3) % 36 == i % 35 ? 35 : (i * 7 + 3) % 36);
            if (i % 2 == 0) n.eraseFlight(i % 35, 1000 + i);
            // Now and then the one seat of a flight sold (the queries for
            // two passengers pass over it anyway).
            const int a = i % 30;
            const int f = down[static_cast<std::size_t>(a)];
            if (i % 3 == 0) {
                try {
                    n.bookRoute({TLegRequest{f, a, a + 6}}, 1, nullptr);
                } catch (const std::exception&) {
                    // already sold
                }
            }
        }
        stop = true;
    });
    std::vector<std::thread> readers;
    for (int t = 0; t < 3; ++t)
        readers.emplace_back([&, t] {
            for (int i = 0; !stop || i < 10; ++i) {
                const int from = (i + t) % 30;
                const auto front = n.front(query(from, 35), INT_MAX);
                for (std::size_t k = 0; k < front.size(); ++k) {
                    if (!joined(front[k])) ++wrong;
                    if (k > 0 && !(front[k].days < front[k - 1].days && front[k].legs.size() > front[k - 1].legs.size()))
                        ++wrong;
                }
                for (const auto& r : n.alternatives(query(from, 35), INT_MAX, 3))
                    if (!joined(r)) ++wrong;
                Choices::Query two = query(from, 35);
                two.hasPassengers = true;
                two.passengers = 2;
                // No flight given one seat is ever taken for two.
                for (const auto& r : n.front(two, INT_MAX)) {
                    if (!joined(r)) ++wrong;
                    for (const auto& leg : r.legs)
                        if (leg.flight < 1000 && leg.to == leg.from + 6 && leg.flight == down[static_cast<std::size_t>(leg.from)])
                            ++wrong;
                }
                const auto reached = n.reach(query(from, 35), 4);
                for (const auto& r : reached)
                    if (r.days > 4 || r.airport == from) ++wrong;
            }
        });
    editor.join();
    for (auto& t : readers) t.join();
    EXPECT_EQ(0, wrong.load());
}

}  // namespace
