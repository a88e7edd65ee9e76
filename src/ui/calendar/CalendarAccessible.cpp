#include "calendar/CalendarAccessible.h"

#include "base/QtPlatform.h"
#include "calendar/FormMain.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPointer>
#include <QWindow>

#include <algorithm>
#include <array>

namespace kestrivel {

namespace {

constexpr int kMaxDays = 31;

class CalendarList;

// One day of the shown month, 1 to 31. Its texts are read from the window when asked, so an item
// stays right whatever month is shown; a day the month lacks is no child and invisible.
class DayItem : public QAccessibleInterface {
public:
    DayItem(CalendarList& list, int day) : m_list(list), m_day(day) {}

    bool isValid() const override;
    QObject* object() const override { return nullptr; }
    QWindow* window() const override;
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override;
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override;
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override;

private:
    TfrmMain* Calendar() const;
    bool InMonth() const;
    bool Focused() const;

    CalendarList& m_list;
    int m_day;
};

// The calendar window itself: a list of the shown month's days named with the title, followed by its
// child widgets (the date entry box). A list rather than a table: screen readers read a table's whole
// row when the row changes, a week for every Up and Down, where the user asked for one day.
class CalendarList : public QAccessibleWidget {
public:
    explicit CalendarList(TfrmMain* window) : QAccessibleWidget(window, QAccessible::List) {}
    ~CalendarList() override {
        for (const QAccessible::Id id : m_itemIds) {
            if (id != 0) {
                QAccessible::deleteAccessibleInterface(id);
            }
        }
    }

    TfrmMain* Calendar() const { return static_cast<TfrmMain*>(widget()); }
    int Days() const { return std::clamp<int>(Calendar()->Model().DaysInMonth, 0, kMaxDays); }
    // Items are made when first asked for and kept as long as the window.
    DayItem* Item(int day) const {
        if (day < 1 || day > kMaxDays) {
            return nullptr;
        }
        QAccessible::Id& id = m_itemIds[static_cast<size_t>(day - 1)];
        if (id == 0) {
            id = QAccessible::registerAccessibleInterface(new DayItem(const_cast<CalendarList&>(*this), day));
        }
        return static_cast<DayItem*>(QAccessible::accessibleInterface(id));
    }
    void Redrawn();

    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name ? TextToQString(Calendar()->Model().TitleText)
                                      : QAccessibleWidget::text(t);
    }
    int childCount() const override { return Days() + QAccessibleWidget::childCount(); }
    QAccessibleInterface* child(int index) const override {
        return index < Days() ? Item(index + 1) : QAccessibleWidget::child(index - Days());
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        for (int day = 1; day <= Days(); ++day) {
            const QAccessible::Id id = m_itemIds[static_cast<size_t>(day - 1)];
            if (id != 0 && QAccessible::accessibleInterface(id) == child) {
                return day - 1;
            }
        }
        const int widgetIndex = QAccessibleWidget::indexOfChild(child);
        return widgetIndex < 0 ? -1 : Days() + widgetIndex;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const QPoint point = Calendar()->mapFromGlobal(QPoint(x, y));
        for (int day = 1; day <= Days(); ++day) {
            if (Calendar()->DayRect(day).contains(point)) {
                return Item(day);
            }
        }
        return QAccessibleWidget::childAt(x, y);
    }
    QAccessibleInterface* focusChild() const override {
        const int cursor = Calendar()->CursorDay();
        return cursor >= 1 && cursor <= Days() ? Item(cursor) : QAccessibleWidget::focusChild();
    }

private:
    mutable std::array<QAccessible::Id, kMaxDays> m_itemIds{};
    // What was last told: the month (year * 12 + month), the title and each day's name.
    int m_month = 0;
    QString m_title;
    std::array<QString, kMaxDays> m_names;
};

bool DayItem::isValid() const {
    return m_list.isValid();
}

QWindow* DayItem::window() const {
    return m_list.window();
}

QAccessibleInterface* DayItem::parent() const {
    return &m_list;
}

TfrmMain* DayItem::Calendar() const {
    return m_list.Calendar();
}

bool DayItem::InMonth() const {
    return m_day <= m_list.Days();
}

bool DayItem::Focused() const {
    return InMonth() && Calendar()->CursorDay() == m_day;
}

QString DayItem::text(QAccessible::Text t) const {
    return t == QAccessible::Name && isValid() && InMonth() ? Calendar()->DayName(m_day) : QString();
}

QRect DayItem::rect() const {
    const QRect box = isValid() && InMonth() ? Calendar()->DayRect(m_day) : QRect();
    return box.isValid() ? QRect(Calendar()->mapToGlobal(box.topLeft()), box.size()) : QRect();
}

QAccessible::State DayItem::state() const {
    QAccessible::State state;
    if (!isValid() || !InMonth()) {
        state.invisible = true;
        return state;
    }
    state.focusable = true;
    state.selectable = true;
    state.focused = Focused();
    state.selected = Focused();
    return state;
}

void CalendarList::Redrawn() {
    // Another month's days are other objects: a screen reader told of the focus on "the 14th" it
    // already had would say nothing after Page Down.
    const TMonthModel& model = Calendar()->Model();
    const int month = model.DisplayYear * 12 + model.DisplayMonth;
    if (month != m_month) {
        m_month = month;
        for (QAccessible::Id& id : m_itemIds) {
            if (id != 0) {
                QAccessibleEvent gone(QAccessible::accessibleInterface(id), QAccessible::ObjectDestroyed);
                QAccessible::updateAccessibility(&gone);
                QAccessible::deleteAccessibleInterface(id);
                id = 0;
            }
        }
        m_names.fill(QString());
    }
    const QString title = text(QAccessible::Name);
    if (title != m_title) {
        m_title = title;
        QAccessibleEvent named(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&named);
    }
    for (int day = 1; day <= kMaxDays; ++day) {
        const QString name = Item(day)->text(QAccessible::Name);
        QString& told = m_names[static_cast<size_t>(day - 1)];
        if (name != told) {
            told = name;
            QAccessibleEvent named(Item(day), QAccessible::NameChanged);
            QAccessible::updateAccessibility(&named);
        }
    }
}

QAccessibleInterface* CalendarFactory(const QString& key, QObject* object) {
    if (key == QLatin1String(TfrmMain::staticMetaObject.className())) {
        if (auto* window = qobject_cast<TfrmMain*>(object)) {
            return new CalendarList(window);
        }
    }
    return nullptr;
}

CalendarList* ListOf(TfrmMain& window) {
    if (!QAccessible::isActive()) {
        return nullptr;
    }
    return dynamic_cast<CalendarList*>(QAccessible::queryAccessibleInterface(&window));
}

} // namespace

void InstallCalendarAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(CalendarFactory);
        return true;
    }();
    (void)installed;
}

void CalendarRedrawn(TfrmMain& window) {
    if (CalendarList* list = ListOf(window)) {
        list->Redrawn();
    }
}

void CalendarCursorMoved(TfrmMain& window) {
    CalendarList* list = ListOf(window);
    const int day = window.CursorDay();
    if (list != nullptr && day >= 1 && day <= list->Days()) {
        QAccessibleEvent focus(list->Item(day), QAccessible::Focus);
        QAccessible::updateAccessibility(&focus);
    }
}

} // namespace kestrivel
