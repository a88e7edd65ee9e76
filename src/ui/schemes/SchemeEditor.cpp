#include "schemes/SchemeEditor.h"

#include "base/Services.h"
#include "common/IntConv.h"
#include "config/ConfigData.h"
#include "lang/MessageTable.h"
#include "lang/TranslationKeys.h"
#include "base/UnitMessages.h"
#include "schemes/ValueListGrid.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QFile>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace kestrivel {

namespace {

static constexpr const char* kDataSuffix = "dat";

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

std::string ss(const QString& text) {
    return text.toStdString();
}

// The built-in caption (or ";"-separated items) of a translatable control of the dialog.
QString builtIn(std::string_view key) {
    const TTranslationKey* entry = FindTranslationKey("frmConfig", key);
    return entry ? qs(entry->BuiltIn) : QString();
}

std::string pathOf(const QString& fileName) {
    return QFile::encodeName(fileName).toStdString();
}

// A drop-down list from which the user can only pick: typed letters do not jump to an entry.
class NoTypingFilter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const QString text = static_cast<QKeyEvent*>(event)->text();
            if (!text.isEmpty() && text.at(0).isPrint() && text != QLatin1String(" ")) {
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

TSchemeEditor::TSchemeEditor(TConfigData& config, TServices& services, const TNameValueList& valueNames,
                             QWidget* parent)
    : QWidget(parent), m_config(config), m_services(services), m_valueNames(valueNames),
      m_shownWords(ChoiceWordsFrom(valueNames)) {
    buildControls();
}

TSchemeEditor::~TSchemeEditor() = default;

void TSchemeEditor::buildControls() {
    m_lblItem = new QLabel(builtIn("lblItem"), this);
    m_lblItem->setObjectName(QStringLiteral("lblItem"));
    m_cmbZone = new QComboBox(this);
    m_cmbZone->setObjectName(QStringLiteral("cmbZone"));
    m_cmbZone->addItems(builtIn("cmbZone").split(QLatin1Char(';')));
    m_cmbZone->setCurrentIndex(zoneCalendar);
    m_lblScheme = new QLabel(builtIn("lblScheme"), this);
    m_lblScheme->setObjectName(QStringLiteral("lblScheme"));
    m_cmbSchemes = new QComboBox(this);
    m_cmbSchemes->setObjectName(QStringLiteral("cmbSchemes"));
    m_cmbSchemes->installEventFilter(new NoTypingFilter(m_cmbSchemes));
    m_cmbSchemes->installEventFilter(this);
    m_cmbZone->installEventFilter(new NoTypingFilter(m_cmbZone));

    m_valueList = new ValueListGrid(kValueRowCount, this);
    m_valueList->setObjectName(QStringLiteral("ValueList"));
    m_delegate = new ValueListDelegate(
        this, m_shownWords, [this](int row) { return rowApplies(row); },
        [this] { ValueListEditButtonClick(); });
    m_valueList->setItemDelegate(m_delegate);

    m_filling = true;
    const ValueTexts keys = BuiltInKeys();
    const ValueTexts values = BuiltInValues();
    for (int row = 0; row < kValueRowCount; ++row) {
        auto* key = new QTableWidgetItem(qs(keys[row]));
        // The key column is fixed: never selected, never edited, but read (not greyed) with its row.
        key->setFlags(Qt::ItemIsEnabled);
        m_valueList->setItem(row, 0, key);
        m_valueList->setItem(row, 1, new QTableWidgetItem(qs(values[row])));
    }
    m_filling = false;
    applyZoneRows();

    auto makeButton = [this](const char* name) {
        auto* button = new QPushButton(builtIn(name), this);
        button->setObjectName(QString::fromLatin1(name));
        return button;
    };
    m_btnSaveScheme = makeButton("btnSaveScheme");
    m_btnDeleteScheme = makeButton("btnDeleteScheme");
    m_btnExportScheme = makeButton("btnExportScheme");
    m_btnImportScheme = makeButton("btnImportScheme");

    // The rows take the whole height on the left; the zone and scheme lists and the buttons stack
    // on the right.
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setHorizontalSpacing(8);
    layout->addWidget(m_valueList, 0, 0);
    auto* side = new QVBoxLayout;
    side->setSpacing(2);
    side->addWidget(m_lblItem);
    side->addWidget(m_cmbZone);
    side->addSpacing(6);
    side->addWidget(m_lblScheme);
    side->addWidget(m_cmbSchemes);
    side->addSpacing(6);
    auto* buttons = new QGridLayout;
    buttons->setSpacing(4);
    buttons->addWidget(m_btnSaveScheme, 0, 0);
    buttons->addWidget(m_btnDeleteScheme, 0, 1);
    buttons->addWidget(m_btnExportScheme, 1, 0);
    buttons->addWidget(m_btnImportScheme, 1, 1);
    side->addLayout(buttons);
    side->addStretch(1);
    layout->addLayout(side, 0, 1);
    layout->setColumnStretch(0, 3);
    layout->setColumnStretch(1, 2);

    connect(m_cmbZone, &QComboBox::activated, this, &TSchemeEditor::cmbZoneSelect);
    connect(m_cmbSchemes, &QComboBox::activated, this, &TSchemeEditor::cmbSchemesSelect);
    connect(m_valueList, &QTableWidget::itemChanged, this, &TSchemeEditor::ValueListStringsChange);
    connect(m_btnSaveScheme, &QPushButton::clicked, this, &TSchemeEditor::btnSaveSchemeClick);
    connect(m_btnDeleteScheme, &QPushButton::clicked, this, &TSchemeEditor::btnDeleteSchemeClick);
    connect(m_btnExportScheme, &QPushButton::clicked, this, &TSchemeEditor::btnExportSchemeClick);
    connect(m_btnImportScheme, &QPushButton::clicked, this, &TSchemeEditor::btnImportSchemeClick);
}

int TSchemeEditor::zone() const {
    return std::max(0, m_cmbZone->currentIndex());
}

bool TSchemeEditor::rowApplies(int row) const {
    return RowApplies(zone(), row);
}

// Rows that do not apply to the zone in cmbZone cannot be entered (ValueListSelectCell).
void TSchemeEditor::applyZoneRows() {
    const bool wasFilling = m_filling;
    m_filling = true;
    for (int row = 0; row < kValueRowCount; ++row) {
        m_valueList->item(row, 1)->setFlags(rowApplies(row) ? Qt::ItemIsEnabled | Qt::ItemIsSelectable |
                                                                  Qt::ItemIsEditable
                                                            : Qt::NoItemFlags);
    }
    m_filling = wasFilling;
    m_valueList->viewport()->update();
}

ValueTexts TSchemeEditor::rowTexts() const {
    ValueTexts texts;
    for (int row = 0; row < kValueRowCount; ++row) {
        texts[row] = ss(m_valueList->item(row, 1)->text());
    }
    return texts;
}

void TSchemeEditor::setRowText(int row, const std::string& text) {
    m_valueList->item(row, 1)->setText(qs(text));
}

void TSchemeEditor::DisplaySettings(TSettings& settings) {
    CurrentSettings = &settings;
    m_filling = true;
    const ValueTexts keys = RowKeys(m_valueNames);
    m_shownWords = ChoiceWordsFrom(m_valueNames);
    const ValueTexts values = RowsFromSettings(settings, m_shownWords);
    for (int row = 0; row < kValueRowCount; ++row) {
        m_valueList->item(row, 0)->setText(qs(keys[row]));
        setRowText(row, values[row]);
    }
    m_filling = false;
}

bool TSchemeEditor::SaveSettings() {
    if (!CurrentSettings) {
        return true;
    }
    std::string error;
    if (!RowsToSettings(rowTexts(), m_shownWords, *CurrentSettings, error)) {
        ShowLibraryError(m_services, window(), error);
        return false;
    }
    return true;
}

void TSchemeEditor::DisplaySchemes() {
    m_cmbSchemes->clear();
    m_schemeNames.clear();
    m_cmbSchemes->setPlaceholderText(QString());
    const TSchemeList& list = m_config.Schemes;
    if (list.Count() < 2) {
        return;
    }
    QStringList names;
    names.reserve(list.Count() - 1);
    for (uint16_t position = 1; position < list.Count(); ++position) {
        names.append(qs(list.Get(position)->Name));
    }
    m_cmbSchemes->addItems(names);
    m_cmbSchemes->setCurrentIndex(-1);
    // Nothing is selected, yet the box must not look empty: it shows the names it holds, in the
    // words their owners gave them, until one is picked.
    m_schemeNames = names;
    fitPlaceholder();
}

void TSchemeEditor::fitPlaceholder() {
    QStyleOptionComboBox option;
    option.initFrom(m_cmbSchemes);
    option.editable = false;
    option.frame = true;
    const QRect field = m_cmbSchemes->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                              QStyle::SC_ComboBoxEditField, m_cmbSchemes);
    m_cmbSchemes->setPlaceholderText(FittingNames(m_schemeNames, m_cmbSchemes->fontMetrics(), field.width()));
}

bool TSchemeEditor::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_cmbSchemes && event->type() == QEvent::Resize) {
        fitPlaceholder();
    }
    return QWidget::eventFilter(watched, event);
}

QString FittingNames(const QStringList& names, const QFontMetrics& metrics, int width) {
    const QString separator = QStringLiteral(", ");
    const QString all = names.join(separator);
    if (metrics.horizontalAdvance(all) <= width) {
        return all;
    }
    for (qsizetype count = names.size() - 1; count >= 1; --count) {
        const QString some = QStringList(names.mid(0, count)).join(separator) + separator + QChar(0x2026);
        if (metrics.horizontalAdvance(some) <= width) {
            return some;
        }
    }
    return metrics.elidedText(all, Qt::ElideRight, width);
}

void TSchemeEditor::ShowSteps() {
    SchemeModified = false;
    const TSchemeList& list = m_config.Schemes;
    // The editor always shows the working scheme in the zone the zone list names, also when the
    // remembered scheme is none: edits then go straight into the working scheme.
    if (list.Count() < 2) {
        applyZoneRows();
        DisplaySettings(m_config.CurrentScheme.Settings[zone()]);
        return;
    }
    const std::string& remembered = list.Get(0)->Name;
    const std::optional<int32_t> index = StrToIntOpt(remembered);
    if (!index) {
        ShowLibraryError(m_services, window(), InvalidIntegerMessage(remembered));
        return;
    }
    m_cmbSchemes->setCurrentIndex(*index >= 0 && *index < m_cmbSchemes->count() ? *index : -1);
    if (m_cmbSchemes->currentIndex() < 0) {
        applyZoneRows();
        DisplaySettings(m_config.CurrentScheme.Settings[zone()]);
    }
    cmbSchemesSelect();
}

int TSchemeEditor::SelectedSchemeIndex() const {
    return m_cmbSchemes->currentIndex();
}

void TSchemeEditor::ValueListStringsChange() {
    if (m_filling) {
        return;
    }
    SchemeModified = true;
    m_config.CurrentScheme.Name.clear();
    m_cmbSchemes->setCurrentIndex(-1);
    m_btnExportScheme->setEnabled(false);
    m_btnDeleteScheme->setEnabled(false);
}

void TSchemeEditor::cmbZoneSelect() {
    // The rows that may be entered follow the zone list at once, also when the store below stops.
    applyZoneRows();
    if (SchemeModified && !SaveSettings()) {
        return;
    }
    SchemeModified = false;
    const int current = m_valueList->currentRow();
    if (current >= 0) {
        const int target = RowAfterZoneSwitch(zone(), current);
        if (target != current) {
            m_valueList->setCurrentCell(target, 1);
        }
    }
    DisplaySettings(m_config.CurrentScheme.Settings[zone()]);
}

void TSchemeEditor::cmbSchemesSelect() {
    TSchemeList& list = m_config.Schemes;
    if (list.Count() == 0 || m_cmbSchemes->currentIndex() < 0) {
        return;
    }
    if (SchemeModified) {
        if (AskQuestion(m_services, window(), TQuestionMessage::SaveChanges) == TMessageResult::Yes &&
            saveScheme() == SaveResult::Stopped) {
            return;
        }
    }
    SchemeModified = false;
    const int entry = m_cmbSchemes->currentIndex();
    const TScheme* chosen = entry >= 0 ? list.Get(static_cast<uint16_t>(entry + 1)) : nullptr;
    if (!chosen) {
        return;
    }
    m_config.CurrentScheme.Assign(*chosen);
    DisplaySettings(m_config.CurrentScheme.Settings[zone()]);
    m_btnExportScheme->setEnabled(true);
    m_btnDeleteScheme->setEnabled(true);
}

int TSchemeEditor::findEntry(const QString& name) const {
    // The exact name first, so that of two names differing in letter case the one typed is found.
    const int exact = m_cmbSchemes->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (exact >= 0) {
        return exact;
    }
    for (int i = 0; i < m_cmbSchemes->count(); ++i) {
        if (m_cmbSchemes->itemText(i).compare(name, Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    return -1;
}

TSchemeEditor::SaveResult TSchemeEditor::saveScheme() {
    const std::optional<std::string> answer = InputValue(m_services, window(), 1, std::string());
    if (!answer || answer->empty()) {
        return SaveResult::NotSaved;
    }
    if (!SaveSettings()) {
        return SaveResult::Stopped;
    }
    TScheme& working = m_config.CurrentScheme;
    working.Name = *answer;
    const QString name = qs(*answer);
    const int existing = findEntry(name);
    if (existing < 0) {
        AddNamedScheme(m_config.Schemes, working, working);
        DisplaySchemes();
    } else if (AskQuestion(m_services, window(), 1, *answer) == TMessageResult::Yes) {
        // The entry the question named takes the working scheme, with the name as typed, in its
        // place; a name differing only in letter case thus replaces that scheme.
        if (TScheme* target = m_config.Schemes.Get(static_cast<uint16_t>(existing + 1))) {
            target->Assign(working);
        }
        DisplaySchemes();
    }
    SchemeModified = false;
    m_cmbSchemes->setCurrentIndex(findEntry(name));
    return SaveResult::Saved;
}

void TSchemeEditor::btnSaveSchemeClick() {
    saveScheme();
}

void TSchemeEditor::btnDeleteSchemeClick() {
    const int entry = m_cmbSchemes->currentIndex();
    if (entry < 0) {
        return;
    }
    if (AskQuestion(m_services, window(), 2, ss(m_cmbSchemes->itemText(entry))) != TMessageResult::Yes) {
        return;
    }
    m_config.Schemes.Delete(static_cast<uint16_t>(entry + 1));
    SchemeModified = false;
    m_cmbSchemes->removeItem(entry);
    m_cmbSchemes->setCurrentIndex(-1);
}

void TSchemeEditor::btnExportSchemeClick() {
    const QString fileName =
        m_services.SaveFileName(window(), CalendarDataFilter(m_services), QString::fromLatin1(kDataSuffix));
    if (fileName.isEmpty()) {
        return;
    }
    // With no entry selected this is position 0: the active record, under its numeric name.
    m_config.Schemes.ExportToFile(static_cast<uint16_t>(m_cmbSchemes->currentIndex() + 1), pathOf(fileName));
}

void TSchemeEditor::btnImportSchemeClick() {
    // The schemes shipped with the program are what a user imports first.
    const QString fileName = m_services.OpenFileName(window(), CalendarDataFilter(m_services),
                                                     QString::fromStdString(m_config.ShippedSchemesFolder()));
    if (fileName.isEmpty()) {
        return;
    }
    ImportNamedScheme(m_config.Schemes, m_config.CurrentScheme, pathOf(fileName));
    DisplaySchemes();
}

void TSchemeEditor::ValueListEditButtonClick() {
    const int row = m_valueList->currentRow();
    if (row < 0 || ValueRowTable()[row].Kind != ValueEditKind::Color) {
        return;
    }
    const std::string text = ss(m_valueList->item(row, 1)->text());
    TColor initial = 0;
    std::string error;
    if (!TextToColor(text, initial, &error)) {
        ShowLibraryError(m_services, window(), error);
        return;
    }
    const std::optional<QColor> chosen = m_services.PickColor(window(), toQColor(initial));
    if (chosen) {
        setRowText(row, ColorToText(fromQColor(*chosen)));
    }
}

} // namespace kestrivel
