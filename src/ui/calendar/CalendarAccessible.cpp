#include "calendar/CalendarAccessible.h"

#include "base/QtPlatform.h"
#include "calendar/FormMain.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPointer>
#include <QWindow>

#include <array>

namespace kestrivel {

namespace {

constexpr int kColumns = 7;
constexpr int kRows = 6;
constexpr int kCells = kRows * kColumns;

class CalendarTable;

// One box of the day grid, row by row from the first day of the week. Its texts are read from the
// window when asked, so a cell stays right whatever month is shown.
class DayCell : public QAccessibleInterface, public QAccessibleTableCellInterface {
public:
    DayCell(CalendarTable& table, int index) : m_table(table), m_index(index) {}

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
    QAccessible::Role role() const override { return QAccessible::Cell; }
    QAccessible::State state() const override;
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::TableCellInterface ? static_cast<QAccessibleTableCellInterface*>(this)
                                                       : nullptr;
    }

    bool isSelected() const override { return Focused(); }
    QList<QAccessibleInterface*> columnHeaderCells() const override { return {}; }
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return m_index % kColumns; }
    int rowIndex() const override { return m_index / kColumns; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override;

private:
    TfrmMain* Calendar() const;
    int Day() const;
    bool Focused() const;

    CalendarTable& m_table;
    int m_index;
};

// The calendar window itself: a table of day cells, followed by its child widgets (the date entry box).
class CalendarTable : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit CalendarTable(TfrmMain* window) : QAccessibleWidget(window, QAccessible::Table) {}
    ~CalendarTable() override {
        for (const QAccessible::Id id : m_cellIds) {
            if (id != 0) {
                QAccessible::deleteAccessibleInterface(id);
            }
        }
    }

    TfrmMain* Calendar() const { return static_cast<TfrmMain*>(widget()); }
    // Cells are made when first asked for and kept as long as the window.
    DayCell* Cell(int index) const {
        if (index < 0 || index >= kCells) {
            return nullptr;
        }
        if (m_cellIds[index] == 0) {
            m_cellIds[index] = QAccessible::registerAccessibleInterface(
                new DayCell(const_cast<CalendarTable&>(*this), index));
        }
        return static_cast<DayCell*>(QAccessible::accessibleInterface(m_cellIds[index]));
    }
    int CellOfDay(int day) const { return day < 1 ? -1 : day - 1 + Calendar()->Model().Lead; }
    void Redrawn();

    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name ? TextToQString(Calendar()->Model().TitleText)
                                      : QAccessibleWidget::text(t);
    }
    int childCount() const override { return kCells + QAccessibleWidget::childCount(); }
    QAccessibleInterface* child(int index) const override {
        return index < kCells ? Cell(index) : QAccessibleWidget::child(index - kCells);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        for (int i = 0; i < kCells; ++i) {
            if (m_cellIds[i] != 0 && QAccessible::accessibleInterface(m_cellIds[i]) == child) {
                return i;
            }
        }
        const int widgetIndex = QAccessibleWidget::indexOfChild(child);
        return widgetIndex < 0 ? -1 : kCells + widgetIndex;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const QPoint point = Calendar()->mapFromGlobal(QPoint(x, y));
        const TMonthModel& model = Calendar()->Model();
        for (int day = 1; day <= model.DaysInMonth; ++day) {
            if (Calendar()->DayRect(day).contains(point)) {
                return Cell(CellOfDay(day));
            }
        }
        return QAccessibleWidget::childAt(x, y);
    }
    QAccessibleInterface* focusChild() const override {
        const int cursor = CellOfDay(Calendar()->CursorDay());
        return cursor >= 0 ? Cell(cursor) : QAccessibleWidget::focusChild();
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::TableInterface ? static_cast<QAccessibleTableInterface*>(this)
                                                   : QAccessibleWidget::interface_cast(type);
    }

    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override {
        return row >= 0 && row < kRows && column >= 0 && column < kColumns ? Cell(row * kColumns + column)
                                                                           : nullptr;
    }
    int selectedCellCount() const override { return CellOfDay(Calendar()->CursorDay()) >= 0 ? 1 : 0; }
    QList<QAccessibleInterface*> selectedCells() const override {
        const int cursor = CellOfDay(Calendar()->CursorDay());
        return cursor >= 0 ? QList<QAccessibleInterface*>{Cell(cursor)} : QList<QAccessibleInterface*>{};
    }
    QString columnDescription(int column) const override { return Calendar()->ColumnName(column); }
    QString rowDescription(int) const override { return {}; }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return 0; }
    int columnCount() const override { return kColumns; }
    int rowCount() const override { return kRows; }
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override { return {}; }
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int) const override { return false; }
    bool selectRow(int) override { return false; }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent*) override {}

private:
    mutable std::array<QAccessible::Id, kCells> m_cellIds{};
    // What was last told: the title and each cell's name.
    QString m_title;
    std::array<QString, kCells> m_names;
};

bool DayCell::isValid() const {
    return m_table.isValid();
}

QWindow* DayCell::window() const {
    return m_table.window();
}

QAccessibleInterface* DayCell::parent() const {
    return &m_table;
}

QAccessibleInterface* DayCell::table() const {
    return &m_table;
}

TfrmMain* DayCell::Calendar() const {
    return m_table.Calendar();
}

int DayCell::Day() const {
    const int day = m_index + 1 - Calendar()->Model().Lead;
    return day >= 1 && day <= Calendar()->Model().DaysInMonth ? day : 0;
}

bool DayCell::Focused() const {
    return Day() != 0 && Calendar()->CursorDay() == Day();
}

QString DayCell::text(QAccessible::Text t) const {
    return t == QAccessible::Name && isValid() ? Calendar()->DayName(Day()) : QString();
}

QRect DayCell::rect() const {
    const QRect box = isValid() ? Calendar()->DayRect(Day()) : QRect();
    return box.isValid() ? QRect(Calendar()->mapToGlobal(box.topLeft()), box.size()) : QRect();
}

QAccessible::State DayCell::state() const {
    QAccessible::State state;
    if (!isValid() || Day() == 0) {
        state.invisible = true;
        return state;
    }
    state.focusable = true;
    state.selectable = true;
    state.focused = Focused();
    state.selected = Focused();
    return state;
}

void CalendarTable::Redrawn() {
    const QString title = text(QAccessible::Name);
    if (title != m_title) {
        m_title = title;
        QAccessibleEvent named(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&named);
    }
    for (int i = 0; i < kCells; ++i) {
        const QString name = Cell(i)->text(QAccessible::Name);
        if (name != m_names[i]) {
            m_names[i] = name;
            QAccessibleEvent named(Cell(i), QAccessible::NameChanged);
            QAccessible::updateAccessibility(&named);
        }
    }
}

QAccessibleInterface* CalendarFactory(const QString& key, QObject* object) {
    if (key == QLatin1String(TfrmMain::staticMetaObject.className())) {
        if (auto* window = qobject_cast<TfrmMain*>(object)) {
            return new CalendarTable(window);
        }
    }
    return nullptr;
}

CalendarTable* TableOf(TfrmMain& window) {
    if (!QAccessible::isActive()) {
        return nullptr;
    }
    return dynamic_cast<CalendarTable*>(QAccessible::queryAccessibleInterface(&window));
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
    if (CalendarTable* table = TableOf(window)) {
        table->Redrawn();
    }
}

void CalendarCursorMoved(TfrmMain& window) {
    CalendarTable* table = TableOf(window);
    const int cell = table != nullptr ? table->CellOfDay(window.CursorDay()) : -1;
    if (cell >= 0) {
        QAccessibleEvent focus(table->Cell(cell), QAccessible::Focus);
        QAccessible::updateAccessibility(&focus);
    }
}

} // namespace kestrivel
