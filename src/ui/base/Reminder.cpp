#include "base/Reminder.h"

#include "base/DayEvents.h"
#include "base/QtPlatform.h"
#include "base/Services.h"
#include "config/ConfigData.h"
#include "lang/MessageTable.h"
#include "memos/DayMemos.h"

namespace kestrivel {

TTodayReminder::TTodayReminder(const TConfigData& config, TServices& services)
    : m_config(config), m_services(services) {}

void TTodayReminder::Check() {
    const QDate today = m_services.Now().date();
    // A day is told once, whether or not the option was on then: switching it on tells from the
    // next day on.
    if (!m_told.insert(today).second) {
        return;
    }
    TDateValue date = 0;
    std::string body;
    if (!m_config.Options.Remind || !TryEncodeDate(today.year(), today.month(), today.day(), date)) {
        return;
    }
    const EventDays none;
    const EventDays* events = m_events != nullptr ? m_events->monthNow(today.year(), today.month()) : nullptr;
    if (!DayLines(m_config.Memos, events != nullptr ? *events : none, date,
                  m_events != nullptr ? m_events->allDay() : std::string(), "\n", body)) {
        return;
    }
    const std::optional<TMessageBox> title =
        BuildMessage(m_services.Messages(), TMessageKind::Info, TInfoMessage::TodaysMemos, "");
    m_services.Notify(title ? TextToQString(title->Text) : QString(), TextToQString(body));
}

} // namespace kestrivel
