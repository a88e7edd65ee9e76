#include "schemes/ValueListGrid.h"

#include "schemes/SchemeEditorRules.h"

#include <QApplication>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QStyle>
#include <QStyleOption>
#include <QTimer>
#include <QToolButton>

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

bool colorOf(const QString& text, QColor& color) {
    TColor value = 0;
    if (!TextToColor(text.toStdString(), value)) {
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

// The editor of a colour cell: the text and the ellipsis button, leaving the swatch visible. Tab goes
// from the text to the button, which Space or Enter presses, and Shift+Tab back.
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
        Button->setFocusPolicy(Qt::TabFocus);
        Button->installEventFilter(this);
        layout->addWidget(Text, 1);
        layout->addWidget(Button);
        setFocusProxy(Text);
        setAutoFillBackground(true);
    }
    QLineEdit* Text = nullptr;
    QToolButton* Button = nullptr;

protected:
    bool focusNextPrevChild(bool next) override {
        if (next == Text->hasFocus() && (Text->hasFocus() || Button->hasFocus())) {
            (next ? static_cast<QWidget*>(Button) : Text)
                ->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return true;
        }
        return QWidget::focusNextPrevChild(next);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == Button && event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                Button->click();
                return true;
            }
        }
        return QWidget::eventFilter(watched, event);
    }
};

} // namespace

QColor toQColor(TColor value) {
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

TColor fromQColor(const QColor& color) {
    return static_cast<TColor>(color.red()) | static_cast<TColor>(color.green()) << 8 |
           static_cast<TColor>(color.blue()) << 16;
}

ValueListGrid::ValueListGrid(int rows, QWidget* parent) : QTableWidget(rows, 2, parent) {
    horizontalHeader()->hide();
    verticalHeader()->hide();
    horizontalHeader()->setSectionResizeMode(0, QHeaderView::Fixed);
    horizontalHeader()->resizeSection(0, kKeyColumnWidth);
    horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(kRowHeight);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::AllEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Tab goes on to the dialog's next control, as from any other field.
    setTabKeyNavigation(false);
}

QModelIndex ValueListGrid::valueCell(int row) const {
    const QModelIndex value = model()->index(row, 1);
    return value.isValid() && (value.flags() & Qt::ItemIsEnabled) ? value : QModelIndex();
}

bool ValueListGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    // Only a click opens the value that becomes current: the arrows move from row to row.
    if (trigger == CurrentChanged && !(hasFocus() && m_byMouse)) {
        return false;
    }
    const bool editing = QTableWidget::edit(index, trigger, event);
    if (editing && state() == EditingState && m_editRow < 0) {
        m_editRow = index.row();
        m_valueBefore = index.data(Qt::DisplayRole).toString();
    }
    return editing;
}

QModelIndex ValueListGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    const QModelIndex next = QTableWidget::moveCursor(action, modifiers);
    // The key column is read with its row and never entered.
    if (next.isValid() && next.column() != 1) {
        const QModelIndex value = valueCell(next.row());
        return value.isValid() ? value : currentIndex();
    }
    return next;
}

void ValueListGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    const int row = m_editRow;
    m_editRow = -1;
    const bool tab =
        hint == QAbstractItemDelegate::EditNextItem || hint == QAbstractItemDelegate::EditPreviousItem;
    // Qt gives the focus back to the grid only from the editor itself, not from the colour's button.
    const bool hadFocus = editor != nullptr && editor->isAncestorOf(QApplication::focusWidget());
    QTableWidget::closeEditor(editor, tab ? QAbstractItemDelegate::SubmitModelCache : hint);
    if (hadFocus && !tab && !hasFocus()) {
        setFocus(Qt::OtherFocusReason);
    }
    if (hint == QAbstractItemDelegate::RevertModelCache && row >= 0 && item(row, 1) != nullptr &&
        item(row, 1)->text() != m_valueBefore) {
        item(row, 1)->setText(m_valueBefore);
    }
    if (tab) {
        QWidget::focusNextPrevChild(hint == QAbstractItemDelegate::EditNextItem);
    }
}

void ValueListGrid::focusInEvent(QFocusEvent* event) {
    QTableWidget::focusInEvent(event);
    // A current value from the first focus, which the arrows move and a screen reader names.
    if (!currentIndex().isValid() || currentIndex().column() != 1) {
        for (int row = 0; row < rowCount(); ++row) {
            if (const QModelIndex value = valueCell(row); value.isValid()) {
                setCurrentIndex(value);
                break;
            }
        }
    }
    // Qt tells screen readers of the grid's focus after this, which they read as the grid alone: the
    // current value is told again once that is done.
    QTimer::singleShot(0, this, [this] {
        if (hasFocus() && currentIndex().isValid() && state() != EditingState) {
            QTableWidget::currentChanged(currentIndex(), QModelIndex());
        }
    });
}

void ValueListGrid::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    // Enter in an open editor closes it (the delegate does, a moment later) and must not go on to the
    // dialog's default button.
    if (enter && state() == EditingState) {
        event->accept();
        return;
    }
    // Enter opens the current value as F2 does, rather than pressing the dialog's default button.
    if (enter && state() != EditingState && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier &&
        currentIndex().isValid() && edit(currentIndex(), EditKeyPressed, event)) {
        event->accept();
        return;
    }
    QTableWidget::keyPressEvent(event);
}

void ValueListGrid::mousePressEvent(QMouseEvent* event) {
    m_byMouse = true;
    QTableWidget::mousePressEvent(event);
    // A click into the grid on the value already current opens it too.
    if (hasFocus() && state() != EditingState && currentIndex().isValid() &&
        indexAt(event->position().toPoint()) == currentIndex()) {
        edit(currentIndex(), CurrentChanged, event);
    }
    m_byMouse = false;
}

void ValueListGrid::resizeEvent(QResizeEvent* event) {
    QTableWidget::resizeEvent(event);
    fitRows();
}

void ValueListGrid::fitRows() {
    if (rowCount() == 0) {
        return;
    }
    const int least = fontMetrics().height();
    const int height = std::clamp(viewport()->height() / rowCount(), least, std::max(least, kRowHeight));
    verticalHeader()->setMinimumSectionSize(least);
    verticalHeader()->setDefaultSectionSize(height);
}

ValueListDelegate::ValueListDelegate(QObject* parent, const ChoiceWords& words,
                                     std::function<bool(int row)> rowApplies,
                                     std::function<void()> editButton)
    : QStyledItemDelegate(parent), m_words(words), m_rowApplies(std::move(rowApplies)),
      m_editButton(std::move(editButton)), m_fontNames(QFontDatabase::families()) {}

void ValueListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    const QPalette& palette = option.palette;
    const bool selected = option.state & QStyle::State_Selected;
    const bool valueCell = index.column() == 1;
    const int row = index.row();
    QColor text = palette.color(QPalette::Active, QPalette::Text);
    if (selected) {
        text = palette.color(QPalette::Active, QPalette::HighlightedText);
    } else if (valueCell && !m_rowApplies(row)) {
        text = palette.color(QPalette::Disabled, QPalette::Text);
    }
    const QRect cell = option.rect;
    painter->save();
    painter->setClipRect(cell);
    painter->fillRect(cell, palette.color(QPalette::Active, selected ? QPalette::Highlight : QPalette::Base));
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

QWidget* ValueListDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                         const QModelIndex& index) const {
    auto* self = const_cast<ValueListDelegate*>(this);
    const int row = index.row();
    // A screen reader names each editor with its row's key.
    const QString key = index.siblingAtColumn(0).data(Qt::DisplayRole).toString();
    switch (ValueRowTable()[row].Kind) {
    case ValueEditKind::Color: {
        auto* editor = new ColorCellEditor(parent);
        editor->Text->setAccessibleName(key);
        editor->Button->setAccessibleName(key + QStringLiteral(" ..."));
        QObject::connect(editor->Text, &QLineEdit::textEdited, self,
                         [self, editor] { emit self->commitData(editor); });
        QObject::connect(editor->Button, &QToolButton::clicked, self, [self] { self->m_editButton(); });
        return editor;
    }
    case ValueEditKind::Number: {
        auto* editor = new QLineEdit(parent);
        editor->setFrame(false);
        editor->setAccessibleName(key);
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
    editor->setAccessibleName(key);
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
        for (const std::string& word : ChoiceList(m_words, row)) {
            editor->addItem(QString::fromStdString(word));
        }
    }
    QObject::connect(editor, &QComboBox::activated, self, [self, editor] { emit self->commitData(editor); });
    return editor;
}

void ValueListDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
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

void ValueListDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                     const QModelIndex& index) const {
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

void ValueListDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                             const QModelIndex& index) const {
    const bool colorCell = ValueRowTable()[index.row()].Kind == ValueEditKind::Color;
    editor->setGeometry(
        option.rect.adjusted(colorCell ? colorTextIndent(option.rect) - kTextIndent : 0, 0, 0, 0));
}

} // namespace kestrivel
