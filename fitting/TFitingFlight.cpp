#include "fitting/TFitingFlight.h"

#include <algorithm>
#include <limits>
#include <thread>
#include <utility>

namespace FitingFlight {

namespace {

std::size_t idleLimitOf(const SearchTuning& tuning) {
    if (tuning.idleStates != 0) return tuning.idleStates;
    return std::max<std::size_t>(2, std::thread::hardware_concurrency());
}

}  // namespace

TFitingFlight::TFitingFlight(IDataAccess* data, SearchTuning tuning)
    : data(data), net(tuning), idleLimit(idleLimitOf(tuning)) {
    if (data != nullptr) data->addListener(this);
}

void TFitingFlight::ensureBuilt() {
    if (built.load(std::memory_order_acquire)) return;
    std::lock_guard<std::mutex> lock(building);
    if (built.load(std::memory_order_relaxed)) return;
    net.rebuild(*data->getAirports());
    if (freeSeats != nullptr)
        freeSeats->eachLimited([this](int flight, int days, int from, int to, int free) {
            net.setFree(flight, days, from, to, free);
        });
    built.store(true, std::memory_order_release);
}

void TFitingFlight::setFreeSeats(const IFreeSeats* seats) {
    freeSeats = seats;
    if (!built.load(std::memory_order_relaxed)) return;
    net.clearFree();
    if (seats != nullptr)
        seats->eachLimited([this](int flight, int days, int from, int to, int free) {
            net.setFree(flight, days, from, to, free);
        });
}

// Only a search for seats reads the counts: stopped searches stay valid.
void TFitingFlight::freeSeatsChanged(int flight, int days, int from, int to, int free) noexcept {
    if (built.load(std::memory_order_relaxed)) net.setFree(flight, days, from, to, free);
}

TFitingFlight::~TFitingFlight() {
    if (data != nullptr) data->removeListener(this);
    data = nullptr;
}

bool TFitingFlight::airportExists(int airport) {
    std::map<int, TAirportLink>* airports = data->getAirports();
    return airports->find(airport) != airports->end();
}

// ---- keeping the copy current ----

// Edits never overlap queries, so every search state is idle here and the
// pool needs no lock.
template <class Stale>
void TFitingFlight::dropSearches(Stale&& stale) noexcept {
    for (auto& s : idle)
        if (s->valid && s->layout == net.layoutVersion() && stale(*s)) s->valid = false;
}

namespace {

bool includes(const std::vector<Label>& labels, std::uint32_t base, std::uint32_t slot) {
    return slot < labels.size() && labels[slot].mark == base + 1;
}

}  // namespace

// Until the first query there is no copy to keep current. Edits never
// overlap queries, so `built` cannot change under them.
void TFitingFlight::dropIdle() noexcept {
    states -= idle.size();
    idle.clear();
}

void TFitingFlight::airportAdded(int airport) {
    if (!built.load(std::memory_order_relaxed)) return;
    net.addAirport(airport);
    if (net.wantsRebuild()) {
        // A failed compaction leaves the copy as it was, holding the
        // airport, which is taken back (the store takes its own back).
        try {
            net.compact();
        } catch (...) {
            static const std::map<int, TFlightLink> none;
            net.removeAirport(airport, none);
            throw;
        }
        dropIdle();
    }
    // The queues of stopped searches are sized for the slots they began with.
    dropSearches([](const SearchState&) { return true; });
}

void TFitingFlight::airportRemoving(int airport, const std::map<int, TFlightLink>& flights) noexcept {
    if (!built.load(std::memory_order_relaxed)) return;
    std::uint32_t x;
    if (!net.findSlot(airport, x)) return;
    // An airport the search has not reached has no flight from an included
    // airport, so taking it away changes nothing the search did.
    dropSearches([x](const SearchState& s) {
        return s.ended || x >= s.labels.size() || s.labels[x].mark >= s.base;
    });
    net.removeAirport(airport, flights);
    if (net.liveCount() == 0) {
        // Nothing left to search: the copy and the states go, and the next
        // query builds the copy from what the store holds then.
        net.clear();
        dropIdle();
        built.store(false, std::memory_order_relaxed);
    }
}

// The store was empty, so a copy built before holds nothing; like an
// emptied one it goes, and the next query builds the copy from the store as
// the first query does.
void TFitingFlight::networkBuilt() noexcept {
    if (!built.load(std::memory_order_relaxed)) return;
    net.clear();
    dropIdle();
    built.store(false, std::memory_order_relaxed);
}

void TFitingFlight::flightAdded(int flight, int days, int from, int to) {
    if (!built.load(std::memory_order_relaxed)) return;
    net.addFlight(flight, days, from, to);
    if (net.wantsRebuild()) {
        try {
            net.compact();
        } catch (...) {
            net.removeFlight(flight, days, from, to);
            throw;
        }
        dropIdle();
        return;
    }
    std::uint32_t u;
    if (net.findSlot(from, u))
        dropSearches([u](const SearchState& s) { return includes(s.labels, s.base, u); });
}

void TFitingFlight::flightRemoved(int flight, int days, int from, int to) noexcept {
    if (!built.load(std::memory_order_relaxed)) return;
    std::uint32_t u;
    if (!net.findSlot(from, u)) return;
    dropSearches([u](const SearchState& s) { return includes(s.labels, s.base, u); });
    net.removeFlight(flight, days, from, to);
}

// ---- the pool of search states ----

std::unique_ptr<TFitingFlight::SearchState> TFitingFlight::acquire(std::uint32_t source) {
    std::lock_guard<std::mutex> lock(pool);
    // Best: the stopped search from the same departure.
    for (std::size_t i = idle.size(); i-- > 0;) {
        SearchState& s = *idle[i];
        if (s.valid && s.source == source && s.layout == net.layoutVersion()) {
            std::unique_ptr<SearchState> taken = std::move(idle[i]);
            idle.erase(idle.begin() + static_cast<std::ptrdiff_t>(i));
            return taken;
        }
    }
    // Next best: the state this thread used last, whose memory is likely
    // still in this core's caches.
    const std::thread::id self = std::this_thread::get_id();
    for (std::size_t i = idle.size(); i-- > 0;) {
        if (idle[i]->user == self) {
            std::unique_ptr<SearchState> taken = std::move(idle[i]);
            idle.erase(idle.begin() + static_cast<std::ptrdiff_t>(i));
            return taken;
        }
    }
    if (!idle.empty()) {
        std::unique_ptr<SearchState> taken = std::move(idle.back());
        idle.pop_back();
        return taken;
    }
    // Room for its return first, so that release never allocates.
    idle.reserve(states + 1);
    auto fresh = std::make_unique<SearchState>();
    ++states;
    return fresh;
}

std::size_t TFitingFlight::idleStates() {
    std::lock_guard<std::mutex> lock(pool);
    return idle.size();
}

void TFitingFlight::release(std::unique_ptr<SearchState> s) noexcept {
    {
        std::lock_guard<std::mutex> lock(pool);
        if (idle.size() < idleLimit) {
            idle.push_back(std::move(s));  // room reserved by acquire
            return;
        }
        --states;
    }
    s.reset();  // freed outside the lock
}

// ---- the search ----

void TFitingFlight::startSearch(SearchState& s, std::uint32_t source) {
    s.valid = false;
    const std::uint32_t n = net.slotCount();
    // New slots start unreached: mark 0 is below every base.
    if (s.labels.size() < n) s.labels.resize(n, Label{0, 0, 0});
    if (s.base >= std::numeric_limits<std::uint32_t>::max() - 2) {
        for (Label& l : s.labels) l.mark = 0;
        s.base = 0;
    }
    s.base += 2;
    s.layout = net.layoutVersion();
    s.source = source;
    s.included = 0;
    s.ended = false;
    s.kind = net.queueKind();
    s.labels[source] = Label{0, s.base, source};
    switch (s.kind) {
        case QueueKind::Buckets:
            s.buckets.reset(net);
            {
                BucketQueue::Cursor c = s.buckets.cursor();
                c.push(source, 0);
                c.finish();
            }
            break;
        case QueueKind::PackedHeap:
            s.packedHeap.reset(net);
            s.packedHeap.push(source, 0);
            break;
        case QueueKind::WideHeap:
            s.wideHeap.reset(net);
            s.wideHeap.push(source, 0);
            break;
    }
}

template <bool kForSeats, class Queue>
void TFitingFlight::advance(SearchState& s, Queue& queue, std::uint32_t target, int passengers) {
    // Everything the loop reads often lies in locals, which writes to the
    // labels cannot alias.
    auto&& q = queue.cursor();
    const bool stopEarly = !net.negativeDays();
    // No flight to the arrival takes fewer days than this.
    const std::int64_t least = net.leastInto(target);
    const std::size_t n = net.liveCount();
    Label* const labels = s.labels.data();
    const std::uint32_t reached = s.base;
    std::size_t included = s.included;
    bool settled = false;  // the arrival's label is final
    std::uint32_t u;
    for (;;) {
        if (stopEarly && labels[target].mark == reached + 1) {
            settled = true;
            break;
        }
        if (!q.take(labels, reached, u)) break;
        const std::int64_t du = labels[u].day;
        // With day counts >= 0 nothing taken from here on can give the
        // arrival a total below du + least: once that is no smaller than
        // its total, its label and the route to it are final. The airport
        // goes back, so a later query can go on from here.
        if (stopEarly && labels[target].mark == reached && du + least >= labels[target].day) {
            q.push(u, du);
            settled = true;
            break;
        }
        // The N-th airport chosen is never relaxed, and the search ends.
        if (included + 1 >= n) break;
        labels[u].mark = reached + 1;
        ++included;
        const Edge* const first = net.edgesBegin(u);
        // Read only for seats; a local, as the labels' writes cannot alias it.
        const SearchNetwork::EdgeSeats* const seats = kForSeats ? net.seatsBegin(u) : nullptr;
        for (const Edge* e = first, *end = net.edgesEnd(u); e != end; ++e) {
            std::int64_t cand = du + e->days;
            if constexpr (kForSeats) {
                // The edge's flight lacks the seats: the pair's next best
                // that has them, if any (no fewer days, so the bound of
                // the early stop still holds).
                const SearchNetwork::EdgeSeats& st = seats[e - first];
                if (st.free < passengers) {
                    if (st.alt >= passengers) {
                        cand = du + st.altDays;
                    } else {
                        int flight, days;
                        if (st.alt == SearchNetwork::kNoAlt || !net.keptBeyond(u, e, passengers, flight, days))
                            continue;
                        cand = du + days;
                    }
                }
            }
            Label& l = labels[e->to];
            if (l.mark < reached) {
                l = Label{cand, reached, u};
                q.push(e->to, cand);
            } else if (cand < l.day) {
                // An included airport keeps the better total but is not
                // queued again (only negative day counts get here).
                const std::int64_t old = l.day;
                l.day = cand;
                l.prev = u;
                if (l.mark == reached) q.decrease(e->to, old, cand);
            }
        }
    }
    q.finish();
    s.included = included;
    s.ended = !settled;
}

day_link TFitingFlight::linkOf(const SearchState& s, std::uint32_t slot) const {
    const Label& l = s.labels[slot];
    return day_link{l.day, net.idOf(l.prev), net.flightOf(l.prev, slot)};
}

template <bool kForSeats>
void TFitingFlight::advance(SearchState& s, std::uint32_t target, int passengers) {
    switch (s.kind) {
        case QueueKind::Buckets: advance<kForSeats>(s, s.buckets, target, passengers); break;
        case QueueKind::PackedHeap: advance<kForSeats>(s, s.packedHeap, target, passengers); break;
        case QueueKind::WideHeap: advance<kForSeats>(s, s.wideHeap, target, passengers); break;
    }
}

template <bool kForSeats>
int TFitingFlight::writeRoute(const SearchState& s, int maxDays, std::uint32_t fi, std::uint32_t ti, int passengers,
                              std::list<TTicket>* route) const {
    const Label& arrival = s.labels[ti];
    if (arrival.mark < s.base) return maxDays < -1 ? -3 : -4;
    if (arrival.day > maxDays) return -3;

    std::list<TTicket> tickets;
    const std::size_t n = net.liveCount();
    std::size_t legs = 0;
    for (std::uint32_t at = ti; at != fi;) {
        if (s.labels[at].mark < s.base || ++legs > n) return -4;
        day_link link;
        if constexpr (kForSeats) {
            // The leg was relaxed, so one of its flights has the seats.
            const std::uint32_t prev = s.labels[at].prev;
            int days = 0;
            link.prev_airport = net.idOf(prev);
            net.keptFlight(prev, net.edgeBetween(prev, at), passengers, link.flight, days);
        } else {
            link = linkOf(s, at);
        }
        const int here = net.idOf(at);
        tickets.push_back(pinnedTicket(here, link.flight, link.prev_airport, here));
        tickets.push_back(pinnedTicket(link.prev_airport, link.flight, link.prev_airport, here));
        at = s.labels[at].prev;
    }
    route->swap(tickets);
    return 0;
}

int TFitingFlight::endSlots(int from, int to, std::uint32_t& fi, std::uint32_t& ti) {
    if (!built.load(std::memory_order_acquire)) {
        // Before the copy exists the store answers (no build for a query
        // that names an unknown airport); afterwards the copy holds exactly
        // the store's airports and its hash lookup answers.
        if (!airportExists(from)) return -1;
        if (!airportExists(to)) return -2;
        ensureBuilt();
    }
    if (!net.findSlot(from, fi)) return -1;
    if (!net.findSlot(to, ti)) return -2;
    return 0;
}

template <class Search>
int TFitingFlight::fit(int from, int to, bool resumable, std::list<TTicket>* route, Search&& search) {
    // The list is replaced only once the outcome is known, so an allocation
    // failure anywhere below leaves it as it was.
    std::uint32_t fi = 0, ti = 0;
    int result = endSlots(from, to, fi, ti);
    if (result == 0) {
        // A state that no departure can ask for is never taken up again.
        std::unique_ptr<SearchState> state = acquire(resumable ? fi : std::numeric_limits<std::uint32_t>::max());
        state->user = std::this_thread::get_id();
        try {
            result = search(*state, fi, ti);
        } catch (...) {
            release(std::move(state));
            throw;
        }
        release(std::move(state));
    }
    if (result != 0) route->clear();
    return result;
}

int TFitingFlight::fitRoute(int maxDays, int from, int to, std::list<TTicket>* route) {
    return fit(from, to, true, route, [&](SearchState& s, std::uint32_t fi, std::uint32_t ti) {
        // Goes on from where the last search from this departure stopped,
        // when one did and the copy has not changed under it since.
        if (!s.valid || s.source != fi || s.layout != net.layoutVersion()) startSearch(s, fi);
        if (!s.ended) {
            // A failed allocation inside leaves the state unusable: the next
            // query starts it again.
            s.valid = false;
            advance<false>(s, ti, 0);
        }
        s.valid = true;
        return writeRoute<false>(s, maxDays, fi, ti, 0, route);
    });
}

// The search for seats: the same search on a state that it leaves unusable
// (startSearch marks it so), as a later plain query from the same departure
// must not take up what it did over fewer flights.
int TFitingFlight::fitRouteFor(int maxDays, int from, int to, int passengers, std::list<TTicket>* route) {
    return fit(from, to, false, route, [&](SearchState& s, std::uint32_t fi, std::uint32_t ti) {
        startSearch(s, fi);
        advance<true>(s, ti, passengers);
        return writeRoute<true>(s, maxDays, fi, ti, passengers, route);
    });
}

}  // namespace FitingFlight
