#pragma once

#include "schemes/SchemeEditorRules.h"
#include "schemes/UnitSchemes.h"

#include <QColor>
#include <QStringList>
#include <QStyledItemDelegate>
#include <QTableWidget>

#include <functional>

namespace kestrivel {

// A scheme colour (0x00BBGGRR) as Qt holds one, and back.
QColor toQColor(TColor value);
TColor fromQColor(const QColor& color);

// The style editor's grid (ValueList): a fixed key column and a value column, one row per field.
// A click on a value opens its editor at once, like an editor that is always shown, but only while
// the grid has the focus: a program move of the current row (a zone switch) must not pull the focus
// away from the zone list. By keyboard the grid has a current value from its first focus; the arrows
// move between the values that apply, Enter, F2 or typing opens the editor, Enter keeps and Escape
// undoes what was typed, and Tab leaves the grid.
class ValueListGrid : public QTableWidget {
public:
    ValueListGrid(int rows, QWidget* parent);

protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    void focusInEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Every row in view without scrolling where the height allows it; below the text's height the
    // rows stop shrinking and the grid scrolls instead.
    void fitRows();
    // The value cell of `row` when it may be entered, else an invalid index.
    QModelIndex valueCell(int row) const;

    bool m_byMouse = false;
    // The row whose editor is open and its value before, which Escape puts back: the editors store
    // every change at once so that the preview follows the typing.
    int m_editRow = -1;
    QString m_valueBefore;
};

// Draws the cells (ValueListDrawCell) and makes the editor each row asks for: the pick lists of
// fonts, sizes and choice words, a colour text with its button, or a plain number field.
class ValueListDelegate : public QStyledItemDelegate {
public:
    // `words` are the choice words the pick lists offer (the owner keeps them current);
    // `rowApplies` tells whether a row's value counts with the others chosen (dimmed otherwise);
    // `editButton` runs when the "..." of a colour cell is pressed.
    ValueListDelegate(QObject* parent, const ChoiceWords& words, std::function<bool(int row)> rowApplies,
                      std::function<void()> editButton);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

private:
    const ChoiceWords& m_words;
    std::function<bool(int row)> m_rowApplies;
    std::function<void()> m_editButton;
    QStringList m_fontNames;
};

} // namespace kestrivel
