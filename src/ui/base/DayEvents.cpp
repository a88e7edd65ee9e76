#include "base/DayEvents.h"

#include "base/Modules.h"
#include "memos/ICalendarModule.h"

#include <filesystem>

namespace kestrivel {

namespace {

class TModuleEventExpander final : public IEventExpander {
public:
    explicit TModuleEventExpander(KestrivelExpandEventFn expand) : m_expand(expand) {}
    bool Expand(std::string_view data, TDateValue first, TDateValue last,
                std::vector<TEventOccurrence>& out) override {
        return m_expand(data, first, last, out);
    }

private:
    KestrivelExpandEventFn m_expand;
};

bool sameCache(const TEventCache& a, const TEventCache& b) {
    if (a.Events.size() != b.Events.size()) {
        return false;
    }
    for (size_t i = 0; i < a.Events.size(); ++i) {
        const TCachedEvent& x = a.Events[i];
        const TCachedEvent& y = b.Events[i];
        if (x.Source != y.Source || x.Href != y.Href || x.ETag != y.ETag || x.Data != y.Data) {
            return false;
        }
    }
    return true;
}

} // namespace

std::unique_ptr<IEventExpander> CreateModuleEventExpander() {
    const auto expand = ResolveModuleFunction<KestrivelExpandEventFn>(kICalendarModuleName,
                                                                      kExpandEventSymbol, ModuleFolders());
    return expand != nullptr ? std::make_unique<TModuleEventExpander>(expand) : nullptr;
}

TDayEvents::TDayEvents(std::string folder, std::unique_ptr<IEventExpander> expander, QObject* parent)
    : QObject(parent), m_folder(std::move(folder)), m_expander(std::move(expander)) {}

TDayEvents::~TDayEvents() = default;

void TDayEvents::reload() {
    TEventCache cache;
    std::error_code error;
    // No sync and no subscription: no file, and nothing is read.
    if (std::filesystem::exists(EventCachePath(m_folder), error)) {
        LoadEventCache(m_folder, cache);
    }
    if (sameCache(cache, m_cache)) {
        return;
    }
    m_cache = std::move(cache);
    m_days.clear();
    emit changed();
}

QStringList EventLinesOf(TDayEvents* events, int year, int month, int day) {
    QStringList lines;
    TDateValue date = 0;
    const EventDays* days = events != nullptr ? events->month(year, month) : nullptr;
    if (days == nullptr || !TryEncodeDate(year, month, day, date)) {
        return lines;
    }
    for (const TEventOccurrence& event : days->onDay(date)) {
        lines.push_back(QString::fromStdString(EventLine(event, events->allDay()))
                            .replace(QLatin1Char('\n'), QLatin1Char(' ')));
    }
    return lines;
}

const EventDays* TDayEvents::month(int year, int month) {
    TDateValue first = 0;
    TDateValue last = 0;
    if (m_cache.Events.empty() || !TryEncodeDate(year, month, 1, first) ||
        !TryEncodeDate(year, month, DaysInMonth(year, month), last)) {
        return nullptr;
    }
    if (!m_days.covers(first, last)) {
        // The module is looked for once: a calendar installed without it shows its memos alone.
        if (!m_expander && !m_triedModule) {
            m_triedModule = true;
            m_expander = CreateModuleEventExpander();
        }
        if (!m_expander) {
            return nullptr;
        }
        m_days.build(m_cache, *m_expander, first, last);
    }
    return &m_days;
}

} // namespace kestrivel
