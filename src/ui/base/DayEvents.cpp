#include "base/DayEvents.h"

#include "base/Modules.h"
#include "memos/ICalendarModule.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <filesystem>
#include <functional>

#include <sys/resource.h>
#include <unistd.h>

namespace kestrivel {

namespace {

class TModuleEventExpander final : public IEventExpander {
public:
    TModuleEventExpander(KestrivelExpandEventFn expand, KestrivelPrepareEventsFn prepare)
        : m_expand(expand), m_prepare(prepare) {}
    bool Expand(std::string_view data, TDateValue first, TDateValue last,
                std::vector<TEventOccurrence>& out) override {
        return m_expand(data, first, last, out);
    }
    std::unique_ptr<IPreparedEvents> Prepare(const TEventCache& cache) override {
        std::unique_ptr<IPreparedEvents> prepared;
        if (m_prepare == nullptr || !m_prepare(cache, prepared)) {
            return nullptr;
        }
        return prepared;
    }

private:
    KestrivelExpandEventFn m_expand;
    KestrivelPrepareEventsFn m_prepare;
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

// Whether a cache read from the file replaces the one held (none held: any events do), so that its
// events are read and the months built again.
bool replaces(const TEventCache& cache, const TEventCache* held) {
    return !(held ? sameCache(cache, *held) : cache.Events.empty());
}

// Below the GUI thread: a calendar of thousands of events is read while the desktop starts.
constexpr int kLoaderNice = 10;

void buildMonth(EventDays& days, const TEventCache& cache, IEventExpander& expander,
                const IPreparedEvents* prepared, TDateValue first, TDateValue last) {
    if (prepared != nullptr) {
        days.build(cache, *prepared, first, last);
    } else {
        days.build(cache, expander, first, last);
    }
}

// A calendar not painted by then (it starts hidden) reads its events anyway: the reminder needs them.
constexpr int kUnpaintedLoadMs = 3000;

// Calls `then` once, when the first paint of the window it watches has been handled.
class FirstPaint final : public QObject {
public:
    FirstPaint(QWidget& window, std::function<void()> then, QObject* parent)
        : QObject(parent), m_then(std::move(then)) {
        window.installEventFilter(this);
    }
    void fire() {
        if (m_then) {
            const std::function<void()> then = std::move(m_then);
            m_then = nullptr;
            deleteLater();
            then();
        }
    }
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() == QEvent::Paint && m_then) {
            // Once this paint is done and on the screen.
            QTimer::singleShot(0, this, &FirstPaint::fire);
        }
        return false;
    }

private:
    std::function<void()> m_then;
};

} // namespace

std::unique_ptr<IEventExpander> CreateModuleEventExpander() {
    const auto expand = ResolveModuleFunction<KestrivelExpandEventFn>(kICalendarModuleName,
                                                                      kExpandEventSymbol, ModuleFolders());
    // A module without the reading once still expands, from the text each time.
    const auto prepare = ResolveModuleFunction<KestrivelPrepareEventsFn>(
        kICalendarModuleName, kPrepareEventsSymbol, ModuleFolders());
    return expand != nullptr ? std::make_unique<TModuleEventExpander>(expand, prepare) : nullptr;
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
    std::shared_ptr<const TEventCache> cache = readCache(m_folder);
    const bool changed = replaces(*cache, m_cache.get());
    IEventExpander* reader = changed && !cache->Events.empty() ? expander() : nullptr;
    take(cache,
         reader != nullptr ? std::shared_ptr<const IPreparedEvents>(reader->Prepare(*cache)) : nullptr);
}

void TDayEvents::reloadLater() {
    if (m_loader.joinable()) {
        m_loader.join();
    }
    m_loader = std::thread([this, folder = m_folder, held = m_cache, reader = m_expander,
                            findModule = !m_expander && !m_triedModule] {
        // Behind the calendar's own drawing and whatever else the desktop does at this time.
        setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kLoaderNice);
        std::shared_ptr<const TEventCache> cache = readCache(folder);
        const bool changed = replaces(*cache, held.get());
        std::shared_ptr<IEventExpander> found = reader;
        const bool looked = changed && !found && findModule;
        if (looked) {
            found = CreateModuleEventExpander();
        }
        std::shared_ptr<const IPreparedEvents> prepared;
        if (changed && found && !cache->Events.empty()) {
            prepared = found->Prepare(*cache);
        }
        QMetaObject::invokeMethod(
            this,
            [this, cache, prepared, found, looked] {
                if (looked && !m_expander) {
                    m_expander = found;
                    m_triedModule = true;
                }
                take(cache, prepared);
            },
            Qt::QueuedConnection);
    });
}

void TDayEvents::reloadAfterPaint(QWidget& window) {
    auto* waiter = new FirstPaint(
        window, [this] { reloadLater(); }, this);
    QTimer::singleShot(kUnpaintedLoadMs, waiter, &FirstPaint::fire);
}

void TDayEvents::take(std::shared_ptr<const TEventCache> cache,
                      std::shared_ptr<const IPreparedEvents> prepared) {
    if (replaces(*cache, m_cache.get())) {
        m_cache = std::move(cache);
        m_prepared = prepared && prepared->size() == m_cache->Events.size() ? std::move(prepared) : nullptr;
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
    // The worker expanding this very month is waited for rather than doubled.
    if (!m_days.covers(first, last) && m_working && m_worker.joinable() && m_workFirst <= first &&
        last <= m_workLast) {
        m_worker.join();
        if (m_workDays && m_workDays->covers(first, last)) {
            m_days = *m_workDays;
        }
    }
    if (!m_days.covers(first, last)) {
        buildMonth(m_days, *m_cache, *m_expander, m_prepared.get(), first, last);
    }
    return &m_days;
}

void TDayEvents::startWorker() {
    if (m_worker.joinable()) {
        m_worker.join();
    }
    m_working = true;
    m_workFirst = m_wantedFirst;
    m_workLast = m_wantedLast;
    m_workDays = std::make_shared<EventDays>();
    m_worker =
        std::thread([this, cache = m_cache, prepared = m_prepared, expander = m_expander, days = m_workDays,
                     first = m_wantedFirst, last = m_wantedLast, generation = m_generation] {
            buildMonth(*days, *cache, *expander, prepared.get(), first, last);
            QMetaObject::invokeMethod(
                this, [this, days, generation] { workerDone(days, generation); }, Qt::QueuedConnection);
        });
}

void TDayEvents::workerDone(std::shared_ptr<EventDays> days, unsigned generation) {
    m_working = false;
    if (generation == m_generation && !m_days.covers(m_wantedFirst, m_wantedLast) &&
        days->covers(m_wantedFirst, m_wantedLast)) {
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
