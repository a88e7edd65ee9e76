#pragma once

#include <QDate>

#include <set>

namespace kestrivel {

class TConfigData;
class TServices;

// Tells the desktop of today's memos: one notification per day, at start and at the first check of
// each new day (however often the clock is set back and forth across midnight during a run), listing the
// memos that fall on it as the hint lists them; none on a day without memos or while the option "Remind" is
// off.
class TDayEvents;

class TTodayReminder {
public:
    TTodayReminder(const TConfigData& config, TServices& services);
    // The program starts, a new day begins or the clock was set: a day not told yet is told now.
    void Check();
    // Today's events are told after its memos; none: the memos alone.
    void SetDayEvents(TDayEvents* events) { m_events = events; }

private:
    const TConfigData& m_config;
    TServices& m_services;
    TDayEvents* m_events = nullptr;
    // Every day told in this run, not only the last: a clock set back to a day told before tells
    // nothing again.
    std::set<QDate> m_told;
};

} // namespace kestrivel
