#pragma once

#include <list>
#include <memory>

#include "fitting/IFitingFlight.h"
#include "store/IDataAccess.h"
#include "tickets/IArmoringTicket.h"

namespace ArmoringTicket {

class TArmoringTicket final : public IArmoringTicket {
public:
    // Creates its own route fitting on the same store and an empty list.
    explicit TArmoringTicket(IDataAccess* data);
    ~TArmoringTicket() override;

    int armoringTickets() override;
    std::list<TTicket>* getTickets() override;
    int getRouteFlight(int maxDays, int from, int to) override;
    int fitRoute(int maxDays, int from, int to, std::list<TTicket>* route) override;
    void setTickets(std::list<TTicket>* route) noexcept override;
    int fitRouteFor(int maxDays, int from, int to, int passengers, std::list<TTicket>* route) override;
    void setFreeSeats(const IFreeSeats* seats) override;
    void freeSeatsChanged(int flight, int days, int from, int to, int free) noexcept override;
    void setSeatLimit(const ISeatLimit* limit) noexcept override;

private:
    IDataAccess* data;
    std::unique_ptr<IFitingFlight> fitting;
    std::unique_ptr<std::list<TTicket>> tickets;
    const ISeatLimit* seatLimit = nullptr;
};

}  // namespace ArmoringTicket
