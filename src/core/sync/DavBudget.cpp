#include "sync/CalDavClient.h"

#include <algorithm>

#include "sync/DavUrl.h"
#include "sync/DavXml.h"

namespace kestrivel {

namespace {

// What a sync may take from the server: a floor that lets a first sync read a listing of the most
// responses one answer may hold, and the same again, plus room for each event the calendar has.
// Bytes count twice for a plain answer (off the wire and as read), so the floor is about three
// full listing answers; inflation counts what it made.
constexpr uint64_t kBudgetFloorBytes = 192ull * 1024 * 1024;
constexpr uint64_t kBudgetBytesPerEvent = 128 * 1024;
constexpr uint64_t kBudgetFloorEntries = 2 * kMaxDavResponses;
constexpr uint64_t kBudgetEntriesPerEvent = 16;
} // namespace

TDavBudget DavBudgetFor(size_t knownEvents) {
    return TDavBudget{kBudgetFloorBytes + kBudgetBytesPerEvent * knownEvents,
                      kBudgetFloorEntries + kBudgetEntriesPerEvent * knownEvents};
}

void TCalDavClient::SetBudget(size_t knownEvents) {
    const TDavBudget budget = DavBudgetFor(knownEvents);
    m_budgetBytes = budget.Bytes;
    m_budgetEntries = budget.Entries;
    m_spentBytes = m_spentEntries = 0;
}

TDavStatus TCalDavClient::chargeEntries(size_t entries, const std::string& url) {
    // A round that lists nothing still counts: a server answering "more to come" with nothing new
    // would otherwise be asked without end.
    m_spentEntries += std::max<size_t>(entries, 1);
    if (m_budgetEntries > 0 && m_spentEntries > m_budgetEntries) {
        TDavStatus spent;
        spent.Error = TDavError::BadAnswer;
        spent.Detail = UrlOrigin(m_address) + " listed more than " + std::to_string(m_budgetEntries) +
                       " entries, more than this calendar can hold (at " + url + ")";
        return spent;
    }
    return TDavStatus{};
}

} // namespace kestrivel
