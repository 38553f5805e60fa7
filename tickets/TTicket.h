#pragma once

// One ticket: the entry of `flight` in the flight table of `airport`.
struct TTicket {
    int airport = 0;
    int flight = 0;
};

inline bool operator==(const TTicket& a, const TTicket& b) {
    return a.airport == b.airport && a.flight == b.flight;
}
