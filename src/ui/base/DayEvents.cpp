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

TDayEvents::~TDayEvents() {
    // Their results, posted to this object, are dropped with it.
    for (std::thread* thread : {&m_worker, &m_loader}) {
        if (thread->joinable()) {
            thread->join();
        }
    }
}

namespace {

std::shared_ptr<TEventCache> readCache(const std::string& folder) {
    auto cache = std::make_shared<TEventCache>();
    std::error_code error;
    // No sync and no subscription: no file, and nothing is read.
    if (std::filesystem::exists(EventCachePath(folder), error)) {
        LoadEventCache(folder, *cache);
    }
    return cache;
}

} // namespace

void TDayEvents::reload() {
    take(readCache(m_folder));
}

void TDayEvents::reloadLater() {
    if (m_loader.joinable()) {
        m_loader.join();
    }
    m_loader = std::thread([this, folder = m_folder] {
        std::shared_ptr<TEventCache> cache = readCache(folder);
        QMetaObject::invokeMethod(
            this, [this, cache] { take(cache); }, Qt::QueuedConnection);
    });
}

void TDayEvents::take(std::shared_ptr<TEventCache> cache) {
    if (!(m_cache ? sameCache(*cache, *m_cache) : cache->Events.empty())) {
        m_cache = std::move(cache);
        m_days.clear();
        ++m_generation;
        emit changed();
    }
    emit loaded();
}

bool TDayEvents::range(int year, int month, TDateValue& first, TDateValue& last) {
    return !empty() && TryEncodeDate(year, month, 1, first) &&
           TryEncodeDate(year, month, DaysInMonth(year, month), last);
}

IEventExpander* TDayEvents::expander() {
    // The module is looked for once: a calendar installed without it shows its memos alone.
    if (!m_expander && !m_triedModule) {
        m_triedModule = true;
        m_expander = CreateModuleEventExpander();
    }
    return m_expander.get();
}

const EventDays* TDayEvents::month(int year, int month) {
    TDateValue first = 0;
    TDateValue last = 0;
    if (!range(year, month, first, last) || expander() == nullptr) {
        return nullptr;
    }
    if (m_days.covers(first, last)) {
        return &m_days;
    }
    m_wantedFirst = first;
    m_wantedLast = last;
    if (!m_working) {
        startWorker();
    }
    return nullptr;
}

const EventDays* TDayEvents::monthNow(int year, int month) {
    TDateValue first = 0;
    TDateValue last = 0;
    if (!range(year, month, first, last) || expander() == nullptr) {
        return nullptr;
    }
    if (!m_days.covers(first, last)) {
        m_days.build(*m_cache, *m_expander, first, last);
    }
    return &m_days;
}

void TDayEvents::startWorker() {
    if (m_worker.joinable()) {
        m_worker.join();
    }
    m_working = true;
    m_worker = std::thread([this, cache = m_cache, expander = m_expander, first = m_wantedFirst,
                            last = m_wantedLast, generation = m_generation] {
        auto days = std::make_shared<EventDays>();
        days->build(*cache, *expander, first, last);
        QMetaObject::invokeMethod(
            this, [this, days, generation] { workerDone(days, generation); }, Qt::QueuedConnection);
    });
}

void TDayEvents::workerDone(std::shared_ptr<EventDays> days, unsigned generation) {
    m_working = false;
    if (generation == m_generation && !m_days.covers(m_wantedFirst, m_wantedLast)) {
        m_days = std::move(*days);
    }
    if (m_days.covers(m_wantedFirst, m_wantedLast)) {
        emit changed();
    } else {
        startWorker();
    }
}

QStringList EventLinesOf(TDayEvents* events, int year, int month, int day) {
    QStringList lines;
    TDateValue date = 0;
    const EventDays* days = events != nullptr ? events->monthNow(year, month) : nullptr;
    if (days == nullptr || !TryEncodeDate(year, month, day, date)) {
        return lines;
    }
    for (const TEventOccurrence& event : days->onDay(date)) {
        lines.push_back(QString::fromStdString(EventLine(event, events->allDay()))
                            .replace(QLatin1Char('\n'), QLatin1Char(' ')));
    }
    return lines;
}

} // namespace kestrivel
