#include "schemes/SchemeEditor.h"

#include "base/Services.h"
#include "common/IntConv.h"
#include "config/ConfigData.h"
#include "lang/MessageTable.h"
#include "lang/TranslationKeys.h"
#include "base/UnitMessages.h"

#include <QComboBox>
#include <QFile>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QResizeEvent>
#include <QStyle>
#include <QStyleOption>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace kestrivel {

namespace {

static constexpr int kKeyColumnWidth = 100;
// Rows are this high where the tab has room; in the dialog as designed they shrink so that all
// twelve show at once, but never below the text's height.
static constexpr int kRowHeight = 18;
static constexpr int kSwatchSize = 16;
// Gap between a colour cell's swatch and its text.
static constexpr int kSwatchGap = 3;
static constexpr int kTextIndent = 2;
static constexpr int kTextTop = 2;
static constexpr int kArrowWidth = 14;
static constexpr const char* kDataFilter = "Calendar data file (*.dat)";
static constexpr const char* kDataSuffix = "dat";
// The question before a scheme selection discards pending changes; fixed, not translated.
static constexpr const char* kSelectCaption = "Theme select";
static constexpr const char* kSelectText = "Do you want to save the changes?";

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

QColor toQColor(TColor value) {
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

TColor fromQColor(const QColor& color) {
    return static_cast<TColor>(color.red()) | static_cast<TColor>(color.green()) << 8 |
           static_cast<TColor>(color.blue()) << 16;
}

bool colorOf(const QString& text, QColor& color) {
    TColor value = 0;
    if (!TextToColor(ss(text), value)) {
        return false;
    }
    color = toQColor(value);
    return true;
}

// The swatch of a colour cell: 16 pixels square in a full-height row, one pixel less than the
// cell where rows are lower.
int swatchSize(const QRect& cell) {
    return std::clamp(cell.height() - 1, 0, kSwatchSize);
}

// Text of a colour cell starts right of its swatch: 20 pixels in a full-height row.
int colorTextIndent(const QRect& cell) {
    return 1 + swatchSize(cell) + kSwatchGap;
}

// Distance of a cell's text from the cell's top: two pixels in a full-height row, less where the
// row is lower, so that the text stays whole.
int textTop(const QRect& cell, const QFont& font) {
    return std::clamp((cell.height() - QFontMetrics(font).height()) / 2, 0, kTextTop);
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

// The value column opens its editor as soon as a cell becomes current, like an editor that is
// always shown, but only while the grid has the focus: a program move of the current row (a zone
// switch) must not pull the focus away from the zone list.
class ValueListGrid : public QTableWidget {
public:
    using QTableWidget::QTableWidget;

protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override {
        if (trigger == CurrentChanged && !hasFocus()) {
            return false;
        }
        return QTableWidget::edit(index, trigger, event);
    }
    void focusInEvent(QFocusEvent* event) override {
        QTableWidget::focusInEvent(event);
        if (currentIndex().isValid() && state() != EditingState) {
            edit(currentIndex(), CurrentChanged, nullptr);
        }
    }
    void resizeEvent(QResizeEvent* event) override {
        QTableWidget::resizeEvent(event);
        fitRows();
    }

private:
    // Every row in view without scrolling where the height allows it; below the text's height the
    // rows stop shrinking and the grid scrolls instead.
    void fitRows() {
        if (rowCount() == 0) {
            return;
        }
        const int least = fontMetrics().height();
        const int height = std::clamp(viewport()->height() / rowCount(), least, std::max(least, kRowHeight));
        verticalHeader()->setMinimumSectionSize(least);
        verticalHeader()->setDefaultSectionSize(height);
    }
};

// The pick list of a row, drawn flat with its text where the cell draws it and an arrow at the
// right. A styled drop-down list keeps a frame's room around its text, which does not fit in the
// lower rows of the dialog as designed.
class GridPickList : public QComboBox {
public:
    using QComboBox::QComboBox;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::Base));
        QStyleOption arrow;
        arrow.initFrom(this);
        arrow.rect = arrowRect();
        style()->drawPrimitive(QStyle::PE_IndicatorArrowDown, &arrow, &painter, this);
        if (!isEditable()) {
            painter.setPen(palette().color(QPalette::Text));
            painter.drawText(textRect().adjusted(kTextIndent, textTop(rect(), font()), 0, 0),
                             Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, currentText());
        }
    }
    void resizeEvent(QResizeEvent* event) override {
        QComboBox::resizeEvent(event);
        // The typing field of the size list takes the whole text room, as a plain text cell does.
        if (QLineEdit* edit = lineEdit()) {
            edit->setGeometry(textRect());
        }
    }

private:
    QRect arrowRect() const {
        const int side = std::min(height(), kArrowWidth);
        return QRect(width() - side, 0, side, height());
    }
    QRect textRect() const { return rect().adjusted(0, 0, -arrowRect().width(), 0); }
};

// The editor of a colour cell: the text and the ellipsis button, leaving the swatch visible.
class ColorCellEditor : public QWidget {
public:
    explicit ColorCellEditor(QWidget* parent) : QWidget(parent) {
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        Text = new QLineEdit(this);
        Text->setFrame(false);
        Button = new QToolButton(this);
        Button->setText(QStringLiteral("..."));
        Button->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(Text, 1);
        layout->addWidget(Button);
        setFocusProxy(Text);
        setAutoFillBackground(true);
    }
    QLineEdit* Text = nullptr;
    QToolButton* Button = nullptr;
};

} // namespace

// Draws the cells (ValueListDrawCell) and makes the editor each row asks for.
class ValueListDelegate : public QStyledItemDelegate {
public:
    explicit ValueListDelegate(TSchemeEditor& owner) : QStyledItemDelegate(&owner), m_owner(owner) {
        m_fontNames = QFontDatabase::families();
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const QPalette& palette = option.palette;
        const bool selected = option.state & QStyle::State_Selected;
        const bool valueCell = index.column() == 1;
        const int row = index.row();
        QColor text = palette.color(QPalette::Active, QPalette::Text);
        if (selected) {
            text = palette.color(QPalette::Active, QPalette::HighlightedText);
        } else if (valueCell && !m_owner.rowApplies(row)) {
            text = palette.color(QPalette::Disabled, QPalette::Text);
        }
        const QRect cell = option.rect;
        painter->save();
        painter->setClipRect(cell);
        painter->fillRect(cell,
                          palette.color(QPalette::Active, selected ? QPalette::Highlight : QPalette::Base));
        painter->setFont(option.font);
        painter->setPen(text);
        const QString value = index.data(Qt::DisplayRole).toString();
        const bool colorCell = valueCell && ValueRowTable()[row].Kind == ValueEditKind::Color;
        const int indent = colorCell ? colorTextIndent(cell) : kTextIndent;
        painter->drawText(cell.adjusted(indent, textTop(cell, option.font), 0, 0),
                          Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, value);
        QColor swatch;
        // A colour text that does not read gets no swatch; the text shows what is wrong.
        if (colorCell && colorOf(value, swatch)) {
            const QRect box(cell.left() + 1, cell.top() + 1, swatchSize(cell), swatchSize(cell));
            painter->fillRect(box, swatch);
            painter->setPen(palette.color(QPalette::Active, QPalette::Highlight));
            painter->drawRect(box.adjusted(0, 0, -1, -1));
        }
        painter->restore();
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex& index) const override {
        auto* self = const_cast<ValueListDelegate*>(this);
        const int row = index.row();
        switch (ValueRowTable()[row].Kind) {
        case ValueEditKind::Color: {
            auto* editor = new ColorCellEditor(parent);
            QObject::connect(editor->Text, &QLineEdit::textEdited, self,
                             [self, editor] { emit self->commitData(editor); });
            QObject::connect(editor->Button, &QToolButton::clicked, &m_owner,
                             &TSchemeEditor::ValueListEditButtonClick);
            return editor;
        }
        case ValueEditKind::Number: {
            auto* editor = new QLineEdit(parent);
            editor->setFrame(false);
            QObject::connect(editor, &QLineEdit::textEdited, self,
                             [self, editor] { emit self->commitData(editor); });
            return editor;
        }
        case ValueEditKind::FontList:
        case ValueEditKind::SizeList:
        case ValueEditKind::Choice:
            break;
        }
        auto* editor = new GridPickList(parent);
        const ValueEditKind kind = ValueRowTable()[row].Kind;
        if (kind == ValueEditKind::FontList) {
            editor->addItems(m_fontNames);
        } else if (kind == ValueEditKind::SizeList) {
            editor->setEditable(true);
            for (uint16_t size : FontSizeChoices()) {
                editor->addItem(QString::number(size));
            }
            QObject::connect(editor->lineEdit(), &QLineEdit::textEdited, self,
                             [self, editor] { emit self->commitData(editor); });
        } else {
            for (const std::string& word : ChoiceList(m_owner.m_shownWords, row)) {
                editor->addItem(qs(word));
            }
        }
        QObject::connect(editor, &QComboBox::activated, self,
                         [self, editor] { emit self->commitData(editor); });
        return editor;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        const QString value = index.data(Qt::DisplayRole).toString();
        if (auto* color = dynamic_cast<ColorCellEditor*>(editor)) {
            color->Text->setText(value);
        } else if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            line->setText(value);
        } else if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            if (combo->isEditable()) {
                combo->setEditText(value);
                return;
            }
            // A font that is not installed, or a word of another language, stays as it is shown.
            int found = combo->findText(value, Qt::MatchExactly | Qt::MatchCaseSensitive);
            if (found < 0) {
                combo->insertItem(0, value);
                found = 0;
            }
            combo->setCurrentIndex(found);
        }
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
        QString value;
        if (auto* color = dynamic_cast<ColorCellEditor*>(editor)) {
            value = color->Text->text();
        } else if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            value = line->text();
        } else if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            value = combo->currentText();
        }
        model->setData(index, value, Qt::EditRole);
    }

    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override {
        const bool colorCell = ValueRowTable()[index.row()].Kind == ValueEditKind::Color;
        editor->setGeometry(
            option.rect.adjusted(colorCell ? colorTextIndent(option.rect) - kTextIndent : 0, 0, 0, 0));
    }

private:
    TSchemeEditor& m_owner;
    QStringList m_fontNames;
};

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
    m_cmbZone->installEventFilter(new NoTypingFilter(m_cmbZone));

    auto* grid = new ValueListGrid(kValueRowCount, 2, this);
    m_valueList = grid;
    m_valueList->setObjectName(QStringLiteral("ValueList"));
    m_valueList->horizontalHeader()->hide();
    m_valueList->verticalHeader()->hide();
    m_valueList->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Fixed);
    m_valueList->horizontalHeader()->resizeSection(0, kKeyColumnWidth);
    m_valueList->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    m_valueList->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_valueList->verticalHeader()->setDefaultSectionSize(kRowHeight);
    m_valueList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_valueList->setSelectionBehavior(QAbstractItemView::SelectItems);
    m_valueList->setEditTriggers(QAbstractItemView::AllEditTriggers);
    m_valueList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_delegate = new ValueListDelegate(*this);
    m_valueList->setItemDelegate(m_delegate);

    m_filling = true;
    const ValueTexts keys = BuiltInKeys();
    const ValueTexts values = BuiltInValues();
    for (int row = 0; row < kValueRowCount; ++row) {
        auto* key = new QTableWidgetItem(qs(keys[row]));
        // The key column is fixed: never selected, never edited.
        key->setFlags(Qt::NoItemFlags);
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
        TMessageBox box;
        box.Caption = kSelectCaption;
        box.Text = kSelectText;
        box.Buttons = TMessageButtons::YesNo;
        if (m_services.ShowBox(window(), box) == TMessageResult::Yes && saveScheme() == SaveResult::Stopped) {
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
        m_services.SaveFileName(window(), QString::fromLatin1(kDataFilter), QString::fromLatin1(kDataSuffix));
    if (fileName.isEmpty()) {
        return;
    }
    // With no entry selected this is position 0: the active record, under its numeric name.
    m_config.Schemes.ExportToFile(static_cast<uint16_t>(m_cmbSchemes->currentIndex() + 1), pathOf(fileName));
}

void TSchemeEditor::btnImportSchemeClick() {
    // The schemes shipped with the program are what a user imports first.
    const QString fileName = m_services.OpenFileName(window(), QString::fromLatin1(kDataFilter),
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
