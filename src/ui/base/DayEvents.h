#pragma once

#include "sync/EventCache.h"
#include "sync/EventDays.h"

#include <QObject>
#include <QString>
#include <QStringList>

class QWidget;

#include <memory>
#include <thread>
#include <string>

namespace kestrivel {

// The events the calendar draws beside its memos, for the windows that show days: the cache beside
// Sync.dat, read when asked (after the first paint) and expanded per month shown through the iCalendar
// module. With no cache file nothing is read, no module is loaded, and no day has an event.
//
// A month's events are expanded on a worker thread: a large calendar never holds up drawing a month
// (it shows its memos at once and its events when changed() comes). The editor and the reminder,
// which show one day once, wait for theirs.
class TDayEvents : public QObject {
    Q_OBJECT
public:
    // `expander` stands in for the module's in tests (it must allow a call from another thread); null:
    // the module's, made at the first month asked.
    explicit TDayEvents(std::string folder, std::unique_ptr<IEventExpander> expander = nullptr,
                        QObject* parent = nullptr);
    ~TDayEvents() override;

    // Reads the cache again; emits changed() when what it holds differs.
    void reload();
    // The same, read on a thread of its own at a lower priority, which also loads the iCalendar module
    // and reads each event once for the months to come: what the calendar does after its first paint
    // and after a sync. The GUI thread then only takes what it found.
    void reloadLater();
    // reloadLater once `window` has been painted for the first time (or has not been within seconds,
    // as when the calendar starts hidden): nothing of the events is done before the calendar shows.
    void reloadAfterPaint(QWidget& window);
    bool empty() const { return !m_cache || m_cache->Events.empty(); }

    // What falls on the days of the month `year`-`month`; null when no event is cached, the month is
    // outside the dates, or its events are still being expanded (changed() follows), so that callers
    // behave exactly as without events.
    const EventDays* month(int year, int month);
    // The same, expanded here when not ready.
    const EventDays* monthNow(int year, int month);

    // The word for an event's time when it lasts all day, in the language of the messages.
    void setAllDay(std::string word) { m_allDay = std::move(word); }
    const std::string& allDay() const { return m_allDay; }

signals:
    void changed();
    // A reload finished, whatever it found.
    void loaded();

private:
    bool range(int year, int month, TDateValue& first, TDateValue& last);
    IEventExpander* expander();
    void startWorker();
    void workerDone(std::shared_ptr<EventDays> days, unsigned generation);
    // `prepared`: the cache's events read once, or null to expand from their text.
    void take(std::shared_ptr<const TEventCache> cache, std::shared_ptr<const IPreparedEvents> prepared);

    std::string m_folder;
    std::shared_ptr<IEventExpander> m_expander;
    bool m_triedModule = false;
    std::shared_ptr<const TEventCache> m_cache;
    std::shared_ptr<const IPreparedEvents> m_prepared;
    EventDays m_days;
    // The month asked for last, and the worker expanding one: its range and what it fills.
    TDateValue m_wantedFirst = 1;
    TDateValue m_wantedLast = 0;
    std::thread m_worker;
    std::thread m_loader;
    bool m_working = false;
    TDateValue m_workFirst = 1;
    TDateValue m_workLast = 0;
    std::shared_ptr<EventDays> m_workDays;
    unsigned m_generation = 0; // a reload makes what a worker still expands stale
    std::string m_allDay = "all day";
};

// The lines of the events of a day as the hover text lists them (EventLine); none for no events.
QStringList EventLinesOf(TDayEvents* events, int year, int month, int day);

// The iCalendar module's expander; null when the module or its entry point is missing.
std::unique_ptr<IEventExpander> CreateModuleEventExpander();

} // namespace kestrivel
