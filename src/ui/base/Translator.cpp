#include "base/Translator.h"

#include "lang/FirstStartLanguage.h"
#include "lang/LanguagePack.h"
#include "lang/MessageTable.h"
#include "lang/Translation.h"

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableView>
#include <QTranslator>

#include <string>
#include <vector>

namespace kestrivel {

namespace {

QString ToQString(const std::string& text) {
    return QString::fromStdString(text); // pack texts are UTF-8 already
}

QStringList ToItems(const std::string& text) {
    QStringList items;
    for (const std::string& item : SplitItems(text)) {
        items.append(ToQString(item));
    }
    return items;
}

// The tab widget whose page `widget` is, with the page's index; none for any other widget.
QTabWidget* TabOf(QWidget* widget, int& index) {
    auto* stack = qobject_cast<QStackedWidget*>(widget->parentWidget());
    auto* tabs = stack ? qobject_cast<QTabWidget*>(stack->parentWidget()) : nullptr;
    index = tabs ? tabs->indexOf(widget) : -1;
    return index >= 0 ? tabs : nullptr;
}

// The kinds in the order they are tested: a kind includes its specialisations.
void ApplyText(QObject* component, const std::string& text) {
    if (auto* label = qobject_cast<QLabel*>(component)) {
        label->setText(ToQString(text));
        return;
    }
    if (auto* button = qobject_cast<QAbstractButton*>(component)) {
        button->setText(ToQString(text));
        return;
    }
    if (auto* group = qobject_cast<QGroupBox*>(component)) {
        group->setTitle(ToQString(text));
        return;
    }
    if (auto* combo = qobject_cast<QComboBox*>(component)) {
        const int selected = combo->currentIndex();
        combo->clear();
        combo->addItems(ToItems(text));
        combo->setCurrentIndex(selected < combo->count() ? selected : -1);
        return;
    }
    if (auto* widget = qobject_cast<QWidget*>(component)) {
        int index = -1;
        if (QTabWidget* tabs = TabOf(widget, index)) {
            tabs->setTabText(index, ToQString(text));
            return;
        }
    }
    if (auto* action = qobject_cast<QAction*>(component)) {
        // A menu item captioned "-" is a separator line.
        const bool separator = text == "-";
        action->setSeparator(separator);
        action->setText(separator ? QString() : ToQString(text));
        return;
    }
    if (auto* grid = qobject_cast<QTableView*>(component)) {
        QAbstractItemModel* model = grid->model();
        if (!model) {
            return;
        }
        const QStringList cells = ToItems(text);
        for (int column = 0; column < model->columnCount(); ++column) {
            model->setHeaderData(column, Qt::Horizontal, column < cells.size() ? cells[column] : QString());
        }
    }
}

} // namespace

void TranslateForm(const TLangPack& pack, QWidget& form) {
    const std::string formName = form.objectName().toStdString();
    if (const std::optional<std::string> caption = FormCaptionText(pack, formName)) {
        form.setWindowTitle(ToQString(*caption));
    }
    for (QObject* component : form.findChildren<QObject*>()) {
        const QString name = component->objectName();
        if (name.isEmpty()) {
            continue;
        }
        if (const std::optional<std::string> text = ComponentText(pack, formName, name.toStdString())) {
            ApplyText(component, *text);
        }
    }
}

TTranslator::TTranslator(std::function<std::string(const std::string&)> languagePath, QString qtFolder,
                         QObject* parent)
    : QObject(parent), m_languagePath(std::move(languagePath)), m_messages(BuiltInMessages()),
      m_weekdays(BuiltInWeekdays()), m_valueNames(BuiltInValueNames()),
      m_qtFolder(qtFolder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath)
                                    : std::move(qtFolder)) {}

TTranslator::~TTranslator() {
    if (m_qtTexts) {
        QCoreApplication::removeTranslator(m_qtTexts.get());
    }
}

void TTranslator::loadQtTexts(const std::string& code) {
    const QString language = QString::fromStdString(code);
    if (language == m_qtLanguage && (m_qtTexts || language.isEmpty())) {
        return;
    }
    if (m_qtTexts) {
        QCoreApplication::removeTranslator(m_qtTexts.get());
        m_qtTexts.reset();
    }
    m_qtLanguage.clear();
    auto texts = std::make_unique<QTranslator>();
    // English is Qt's own language; any other without a file stays English as well.
    if (!language.isEmpty() && language != QLatin1String("en") &&
        texts->load(QStringLiteral("qtbase_") + language, m_qtFolder) &&
        QCoreApplication::installTranslator(texts.get())) {
        m_qtTexts = std::move(texts);
        m_qtLanguage = language;
    }
}

void TTranslator::TranslateTo(const std::string& languageFile) {
    m_languageFile = languageFile;
    m_translated = true;
    // A file that does not load leaves an empty pack: every text stays as the last file left it.
    m_pack.Load(m_languagePath(languageFile));
    const std::string bareName = QFileInfo(QString::fromStdString(languageFile)).fileName().toStdString();
    loadQtTexts(languageCodeOf({bareName, m_pack.LanguageName}));
    for (const QPointer<QWidget>& window : m_windows) {
        if (window) {
            TranslateForm(m_pack, *window);
        }
    }
    TranslateStrings(m_pack, MessagesSection, m_messages);
    TranslateStrings(m_pack, WeekdaysSection, m_weekdays);
    TranslateStrings(m_pack, ValueNamesSection, m_valueNames);
    emit translated();
}

void TTranslator::Register(QWidget& window) {
    m_windows.emplace_back(&window);
    TranslateLate(window);
}

void TTranslator::TranslateLate(QWidget& window) const {
    if (m_translated) {
        TranslateForm(m_pack, window);
    }
}

std::string TTranslator::Weekdays() const {
    return m_weekdays.value(WeekdaysName);
}

std::string TTranslator::TodayWord() const {
    return m_weekdays.value(TodayName);
}

} // namespace kestrivel
