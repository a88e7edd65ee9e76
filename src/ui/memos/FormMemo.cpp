#include "memos/FormMemo.h"

#include "sync/MemoOperations.h"
#include "base/AccessibleNames.h"
#include "base/QtPlatform.h"
#include "base/Services.h"
#include "common/DateValue.h"
#include "config/ConfigData.h"
#include "config/Options.h"
#include "base/UnitMessages.h"
#include "base/X11Window.h"
#include "common/DateFormat.h"
#include "lang/MessageTable.h"
#include "memos/MemoEditorRules.h"

#include <QComboBox>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace kestrivel {

namespace {

static constexpr int kDayMin = 1;
static constexpr int kDayMax = 31;
static constexpr int kDayStart = 1;
static constexpr int kYearMin = 1;
static constexpr int kYearMax = 9999;
static constexpr int kYearStart = 2000;

// Month names stand in French until a language file replaces them.
static constexpr const char* kMonthItems[] = {"Janvier",   "Février", "Mars",     "Avril",
                                              "Mai",       "Juin",    "Juillet",  "Août",
                                              "Septembre", "Octobre", "Novembre", "Décembre"};
static constexpr const char* kTypeItems[] = {"Single", "Weekly", "Monthly", "Yearly"};

// The dialogs' font: Arial at 11 pixels, the size an 8-point font has on a 96-dpi screen.
QLabel* MakeLabel(QWidget* parent, const char* name, const char* caption, const QRect& geometry) {
    auto* label = new QLabel(QString::fromUtf8(caption), parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    return label;
}

QComboBox* MakeList(QWidget* parent, const char* name, const QStringList& items, const QRect& geometry) {
    auto* list = new QComboBox(parent);
    list->setObjectName(QLatin1String(name));
    list->setEditable(false);
    list->addItems(items);
    list->setGeometry(geometry);
    return list;
}

template <size_t N> QStringList Items(const char* const (&texts)[N]) {
    QStringList items;
    for (const char* text : texts) {
        items << QString::fromUtf8(text);
    }
    return items;
}

// A text field holding only digits, as many as the largest value has.
QLineEdit* MakeNumberField(QWidget* parent, const char* name, int digits, const QRect& geometry) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(QLatin1String(name));
    field->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]{0,%1}").arg(digits)), field));
    field->setGeometry(geometry);
    return field;
}

// Today's date and time of day as a date value.
TDateValue DateValueOf(const QDateTime& moment) {
    const QDate day = moment.date();
    TDateValue value = 0;
    if (!TryEncodeDate(day.year(), day.month(), day.day(), value)) {
        return 0;
    }
    return value + moment.time().msecsSinceStartOfDay() / 86400000.0;
}

// A change that is in the list but not in Memos.dat is named; every other outcome shows in the
// calendar.
void reportOperation(TMemoOperationResult outcome, const TConfigData& config, TServices& services,
                     QWidget* parent) {
    if (outcome == TMemoOperationResult::NotSaved) {
        ShowError(services, parent, TErrorMessage::UnableToWrite, config.MemosPath());
    }
}

// Presets the editor with memo `index` in modify mode and shows it; true after OK, when the new
// text and type are in the list.
bool ModifyMemo(TfrmMemo& editor, TConfigData& config, int index) {
    TMemo memo;
    config.Memos.GetMemo(static_cast<uint16_t>(index), memo);
    editor.LockDate();
    editor.Date = memo.Date;
    editor.Text = memo.Text;
    editor.MemoType = memo.MemoType;
    if (editor.ShowModal() != QDialog::Accepted) {
        return false;
    }
    config.Memos.Modify(index, editor.Text, static_cast<uint8_t>(editor.MemoType));
    return true;
}

// Presets the editor in add mode with `date` and shows it; after OK the memo is added, and a taken
// date is refused with error 1. True when the memo is in the list.
bool AddMemo(TfrmMemo& editor, TConfigData& config, TServices& services, TDateValue date) {
    editor.UnlockDate();
    editor.Date = date;
    editor.Text.clear();
    editor.MemoType = mtSingle;
    editor.SetTakenDates(&config.Memos);
    const int result = editor.ShowModal();
    editor.SetTakenDates(nullptr);
    if (result != QDialog::Accepted) {
        return false;
    }
    if (!config.Memos.Add(editor.Text, static_cast<uint8_t>(editor.MemoType), editor.Date)) {
        const int refusal = MemoAddRefusal(config.Memos, editor.Date);
        ShowError(services, editor.parentWidget(), refusal != 0 ? refusal : TErrorMessage::InvalidDate);
        return false;
    }
    return true;
}

} // namespace

UpDownArrows::UpDownArrows(QLineEdit* associate, int min, int max, QWidget* parent)
    : QWidget(parent), m_associate(associate), m_min(min), m_max(max), m_up(new QToolButton(this)),
      m_down(new QToolButton(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (QToolButton* button : {m_up, m_down}) {
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        layout->addWidget(button);
    }
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    connect(m_up, &QToolButton::clicked, this, [this] { Step(1); });
    connect(m_down, &QToolButton::clicked, this, [this] { Step(-1); });
    m_associate->installEventFilter(this);
}

int UpDownArrows::Position() const {
    bool ok = false;
    const int value = m_associate->text().toInt(&ok);
    return ok ? value : 0;
}

void UpDownArrows::SetPosition(int value) {
    m_associate->setText(QString::number(std::clamp(value, m_min, m_max)));
}

void UpDownArrows::Step(int delta) {
    // A field that holds no number in range steps from the nearest end of the range.
    SetPosition(std::clamp(Position(), m_min, m_max) + delta);
}

bool UpDownArrows::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_associate && event->type() == QEvent::KeyPress && !m_associate->isReadOnly()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            Step(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

TfrmMemo::TfrmMemo(TServices& services, QWidget* parent) : QDialog(parent), m_services(services) {
    setObjectName(QStringLiteral("frmMemo"));
    setWindowTitle(QStringLiteral("Memo"));
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    AskOnlyCloseButton(*this);
    setModal(true);
    setFont(ArialFont(11));
    setFixedSize(kClientWidth, kClientHeight);
    createControls();
}

TfrmMemo::~TfrmMemo() = default;

void TfrmMemo::createControls() {
    // Day, month and year side by side with their labels above, then the text across the whole
    // width, then the type on the left and the limit on the right, the buttons bottom right.
    m_lblDay = MakeLabel(this, "lblDay", "Day :", QRect(8, 8, 60, 14));
    m_edtDay = MakeNumberField(this, "edtDay", 2, QRect(8, 24, 33, 21));
    m_updDay = new UpDownArrows(m_edtDay, kDayMin, kDayMax, this);
    m_updDay->setObjectName(QStringLiteral("updDay"));
    m_updDay->setGeometry(41, 24, 16, 21);
    m_updDay->SetPosition(kDayStart);

    m_lblMonth = MakeLabel(this, "lblMonth", "Month :", QRect(72, 8, 113, 14));
    m_cmbMonth = MakeList(this, "cmbMonth", Items(kMonthItems), QRect(72, 24, 113, 21));

    m_lblYear = MakeLabel(this, "lblYear", "Year :", QRect(199, 8, 65, 14));
    m_edtYear = MakeNumberField(this, "edtYear", 4, QRect(199, 24, 49, 21));
    m_updYear = new UpDownArrows(m_edtYear, kYearMin, kYearMax, this);
    m_updYear->setObjectName(QStringLiteral("updYear"));
    m_updYear->setGeometry(248, 24, 16, 21);
    m_updYear->SetPosition(kYearStart);

    m_memText = new QPlainTextEdit(this);
    m_memText->setObjectName(QStringLiteral("memText"));
    m_memText->setGeometry(8, 54, 256, 74);
    // Tab leaves the text box; Enter stays in it as a new line.
    m_memText->setTabChangesFocus(true);
    connect(m_memText, &QPlainTextEdit::textChanged, this, &TfrmMemo::memTextChange);

    m_lblType = MakeLabel(this, "lblType", "Type :", QRect(8, 139, 40, 14));
    m_cmbMemoType = MakeList(this, "cmbMemoType", Items(kTypeItems), QRect(48, 135, 97, 21));
    m_lblMax = MakeLabel(this, "lblMax", "(Max. 255 characters)", QRect(150, 139, 114, 14));
    m_lblMax->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    m_btnOk = new QPushButton(QStringLiteral("Ok"), this);
    m_btnOk->setObjectName(QStringLiteral("btnOk"));
    m_btnOk->setGeometry(110, 162, 75, 25);
    m_btnOk->setDefault(true);
    connect(m_btnOk, &QPushButton::clicked, this, &TfrmMemo::btnOkClick);

    m_btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_btnCancel->setObjectName(QStringLiteral("btnCancel"));
    m_btnCancel->setGeometry(189, 162, 75, 25);
    m_btnCancel->setAutoDefault(false);
    connect(m_btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    // The text box first, so it has the focus when the dialog opens.
    QWidget::setTabOrder(m_memText, m_btnOk);
    QWidget::setTabOrder(m_btnOk, m_btnCancel);
    QWidget::setTabOrder(m_btnCancel, m_edtDay);
    QWidget::setTabOrder(m_edtDay, m_cmbMonth);
    QWidget::setTabOrder(m_cmbMonth, m_edtYear);
    LinkLabels(
        *this,
        {{"lblDay", "edtDay"}, {"lblMonth", "cmbMonth"}, {"lblYear", "edtYear"}, {"lblType", "cmbMemoType"}});
    QWidget::setTabOrder(m_edtYear, m_cmbMemoType);
    m_cmbMonth->installEventFilter(this);
    connect(m_edtDay, &QLineEdit::textChanged, this, &TfrmMemo::describeForScreenReaders);
    connect(m_edtYear, &QLineEdit::textChanged, this, &TfrmMemo::describeForScreenReaders);
    connect(m_cmbMonth, &QComboBox::currentIndexChanged, this, &TfrmMemo::describeForScreenReaders);
}

void TfrmMemo::describeForScreenReaders() {
    // Read from the fields, so that a date typed in add mode is heard as it stands.
    const TLocaleFormats defaults;
    TDateValue date = 0;
    const std::string day =
        TryEncodeDate(m_updYear->Position(), m_cmbMonth->currentIndex() + 1, m_updDay->Position(), date)
            ? FormatDate("dddddd", date, m_formats != nullptr ? *m_formats : defaults)
            : std::string();
    m_memText->setAccessibleName(windowTitle());
    m_memText->setAccessibleDescription(
        (day.empty() ? QString() : TextToQString(day) + QStringLiteral(". ")) + m_lblMax->text());
}

bool TfrmMemo::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_cmbMonth || !m_dateLocked) {
        return QDialog::eventFilter(watched, event);
    }
    switch (event->type()) {
    case QEvent::KeyPress: {
        // Only the keys that leave the list or close the dialog.
        const int key = static_cast<QKeyEvent*>(event)->key();
        return key != Qt::Key_Tab && key != Qt::Key_Backtab && key != Qt::Key_Escape &&
               key != Qt::Key_Return && key != Qt::Key_Enter;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
        return true;
    default:
        return QDialog::eventFilter(watched, event);
    }
}

void TfrmMemo::SetEvents(const QStringList& lines) {
    // Up to this many lines show at once; more scroll.
    constexpr int kShownLines = 5;
    if (lines.isEmpty()) {
        if (m_memEvents != nullptr) {
            m_memEvents->clear();
            m_memEvents->hide();
        }
        setFixedSize(kClientWidth, kClientHeight);
        return;
    }
    // Made at the first day with events, so that the editor of a calendar without any is as it was.
    if (m_memEvents == nullptr) {
        m_memEvents = new QPlainTextEdit(this);
        m_memEvents->setObjectName(QStringLiteral("memEvents"));
        m_memEvents->setReadOnly(true);
        m_memEvents->setTabChangesFocus(true);
        QWidget::setTabOrder(m_cmbMemoType, m_memEvents);
    }
    m_memEvents->setPlainText(lines.join(QLatin1Char('\n')));
    // The lines, the document's margin above and below them, and the pixel the text box keeps
    // below its last line: a box that holds its lines shows no scroll bar.
    const qreal shown = static_cast<qreal>(std::min<qsizetype>(lines.size(), kShownLines)) *
                            QFontMetricsF(m_memEvents->font()).lineSpacing() +
                        2 * m_memEvents->document()->documentMargin();
    const int height = static_cast<int>(std::ceil(shown)) + 2 + 2 * m_memEvents->frameWidth();
    m_memEvents->setGeometry(8, kClientHeight, kClientWidth - 16, height);
    m_memEvents->show();
    setFixedSize(kClientWidth, kClientHeight + height + 8);
}

void TfrmMemo::LockDate() {
    setDateControlsEnabled(false);
    m_dateLocked = true;
}

void TfrmMemo::UnlockDate() {
    setDateControlsEnabled(true);
    m_dateLocked = false;
}

void TfrmMemo::setDateControlsEnabled(bool enabled) {
    // "Day :" and "Year :" stay as they are; only "Month :" is dimmed with the fields. The fields
    // themselves are read-only and drawn dimmed rather than disabled, which would take them out of the
    // Tab order and away from screen readers.
    for (QWidget* control : std::initializer_list<QWidget*>{m_updDay, m_lblMonth, m_updYear}) {
        control->setEnabled(enabled);
    }
    m_edtDay->setReadOnly(!enabled);
    m_edtYear->setReadOnly(!enabled);
    for (QWidget* field : std::initializer_list<QWidget*>{m_edtDay, m_cmbMonth, m_edtYear}) {
        QPalette palette = this->palette();
        if (!enabled) {
            for (const QPalette::ColorRole role :
                 {QPalette::Text, QPalette::ButtonText, QPalette::WindowText}) {
                const QColor dimmed = palette.color(QPalette::Disabled, role);
                palette.setColor(QPalette::Active, role, dimmed);
                palette.setColor(QPalette::Inactive, role, dimmed);
            }
        }
        field->setPalette(palette);
    }
}

int TfrmMemo::ShowModal() {
    FormShow();
    if (!m_modalLoop) {
        return exec();
    }
    setResult(QDialog::Rejected);
    show();
    m_modalLoop(*this);
    if (isVisible()) {
        reject();
    }
    return result();
}

void TfrmMemo::FormShow() {
    const MemoEditorFields fields = MemoEditorFieldsFor(Date, Text, MemoType);
    m_updDay->SetPosition(fields.Day);
    m_cmbMonth->setCurrentIndex(fields.Month - 1);
    m_updYear->SetPosition(fields.Year);
    // A stored text longer than the limit (from a file) shows whole; typing cannot lengthen it.
    const QString text = TextToQString(fields.EditorText);
    m_lastText = text.toStdString();
    m_memText->setPlainText(text);
    m_cmbMemoType->setCurrentIndex(fields.MemoType);
    describeForScreenReaders();
    m_memText->setFocus();
}

void TfrmMemo::btnOkClick() {
    MemoEditorFields fields;
    fields.Day = m_updDay->Position();
    fields.Month = m_cmbMonth->currentIndex() + 1;
    fields.Year = m_updYear->Position();
    fields.EditorText = m_memText->toPlainText().toStdString();
    // A type code the list does not show (only an exchange file can bring one) is kept as it was.
    fields.MemoType = m_cmbMemoType->currentIndex() >= 0 ? m_cmbMemoType->currentIndex() : MemoType;
    const MemoEditorResult result = CheckMemoEditor(fields, m_dateLocked, Date);
    if (result.Error != 0) {
        ShowError(m_services, this, result.Error);
        return;
    }
    // The text typed stays open when the memo cannot be added: a taken date, a full list.
    if (!m_dateLocked && m_takenDates != nullptr) {
        if (const int refusal = MemoAddRefusal(*m_takenDates, result.Memo.Date); refusal != 0) {
            ShowError(m_services, this, refusal);
            return;
        }
    }
    Date = result.Memo.Date;
    Text = result.Memo.Text;
    MemoType = static_cast<uint16_t>(fields.MemoType);
    accept();
}

void TfrmMemo::memTextChange() {
    const QString current = m_memText->toPlainText();
    const std::string after = current.toStdString();
    const std::string limited = LimitMemoEditorText(m_lastText, after);
    if (limited != after) {
        // The part of a typed or pasted insertion beyond the limit is dropped; the cursor stays
        // after what was kept of it.
        const QString kept = QString::fromStdString(limited);
        const int position = m_memText->textCursor().position() - (current.size() - kept.size());
        const QSignalBlocker blocker(m_memText);
        m_memText->setPlainText(kept);
        QTextCursor cursor = m_memText->textCursor();
        cursor.setPosition(std::clamp(position, 0, static_cast<int>(kept.size())));
        m_memText->setTextCursor(cursor);
    }
    m_lastText = limited;
}

void EditMemoOfDay(TfrmMemo& editor, TConfigData& config, TServices& services, int year, int month, int day,
                   const std::function<void()>& redraw) {
    TDateValue date = 0;
    if (!TryEncodeDate(year, month, day, date)) {
        return;
    }
    QWidget* parent = editor.parentWidget();
    // Only a memo dated that very day is modified; a day that merely carries a recurrence of a memo
    // entered on another day gets a new memo. Ok applies the change to Memos.dat as it is then: a
    // sync may have written the day while the editor was open.
    TMemoOperation operation;
    const int index = config.Memos.IndexOfDate(date);
    if (index >= 0) {
        config.Memos.GetMemo(static_cast<uint16_t>(index), operation.Seen);
        editor.LockDate();
        editor.Date = operation.Seen.Date;
        editor.Text = operation.Seen.Text;
        editor.MemoType = operation.Seen.MemoType;
        if (editor.ShowModal() != QDialog::Accepted) {
            // The memos are saved however the editor closed, as they always were on this path.
            redraw();
            if (!config.SaveMemos()) {
                ShowError(services, parent, TErrorMessage::UnableToWrite, config.MemosPath());
            }
            return;
        }
        operation.What = TMemoOperation::Kind::Change;
        operation.Wanted = {operation.Seen.Date, editor.Text, static_cast<uint8_t>(editor.MemoType)};
        reportOperation(ApplyMemoOperation(config, operation), config, services, parent);
        redraw();
        return;
    }
    editor.UnlockDate();
    editor.Date = date;
    editor.Text.clear();
    editor.MemoType = mtSingle;
    operation.What = TMemoOperation::Kind::Add;
    for (;;) {
        editor.SetTakenDates(&config.Memos);
        const int result = editor.ShowModal();
        editor.SetTakenDates(nullptr);
        if (result != QDialog::Accepted) {
            return;
        }
        operation.Wanted = {editor.Date, editor.Text, static_cast<uint8_t>(editor.MemoType)};
        const TMemoOperationResult outcome = ApplyMemoOperation(config, operation);
        if (outcome != TMemoOperationResult::DateTaken && outcome != TMemoOperationResult::ListFull) {
            reportOperation(outcome, config, services, parent);
            break;
        }
        // Taken while the editor was open: the memo that took it shows, and the editor opens again
        // with the typed text and says why.
        redraw();
        ShowError(services, parent,
                  outcome == TMemoOperationResult::ListFull ? TErrorMessage::MemoListFull
                                                            : TErrorMessage::DateTaken);
    }
    redraw();
}

bool AddMemoFromTab(TfrmMemo& editor, TConfigData& config, TServices& services) {
    return AddMemo(editor, config, services, DateValueOf(services.Now()));
}

bool ModifyMemoFromTab(TfrmMemo& editor, TConfigData& config, TServices& /*services*/, int index) {
    if (index < 0 || index >= config.Memos.Count()) {
        return false;
    }
    return ModifyMemo(editor, config, index);
}

} // namespace kestrivel
