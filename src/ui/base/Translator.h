#pragma once

#include "common/NameValueList.h"
#include "lang/LanguagePack.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QTranslator;
class QWidget;

namespace kestrivel {

// Applies the pack's section named after `form` (its object name) to the window: its own caption
// (also when empty), then each owned component by object name, in creation order, by kind:
// captions of labels, buttons, check boxes and group boxes; items of drop-down lists (keeping the
// selected position); tab captions; menu item captions; header cells of a grid. A missing or empty
// text leaves the component alone.
void TranslateForm(const TLangPack& pack, QWidget& form);

// The program's one owner of language: the pack applied last, the message table, the calendar's
// week-day names and the configuration dialog's value names, and the windows to translate. Windows
// ask it for their words; nothing else keeps a translated text.
class TTranslator : public QObject {
    Q_OBJECT
public:
    // `languagePath` turns a bare language file name into the path to read it from.
    // `qtFolder`: where Qt's own translations lie (empty: where this Qt keeps them).
    explicit TTranslator(std::function<std::string(const std::string&)> languagePath,
                         QString qtFolder = QString(), QObject* parent = nullptr);
    ~TTranslator() override;

    // Loads the language file and applies it to every registered window and the three lists. Texts
    // the file leaves out keep what the last file gave them.
    void TranslateTo(const std::string& languageFile);
    // A window made after start-up: translated again at every TranslateTo, and at once with the
    // language applied last (nothing before the first translation).
    void Register(QWidget& window);
    // Applies the last language to a window again, for parts it made since (the date entry box).
    void TranslateLate(QWidget& window) const;

    const TNameValueList& Messages() const { return m_messages; }
    // The calendar's week-day initials, Monday first.
    std::string Weekdays() const;
    // The word a screen reader hears after today's date.
    std::string TodayWord() const;
    // The 28 value names (memo types, style rows and choices) the configuration dialog lists.
    TNameValueList& ValueNames() { return m_valueNames; }
    // The file applied last; empty before the first translation.
    const std::string& LanguageFile() const { return m_languageFile; }
    // The language of Qt's own texts (standard buttons, file and colour dialogs): the language
    // file's, where Qt has it; empty for Qt's built-in English.
    const QString& QtLanguage() const { return m_qtLanguage; }

signals:
    // A language file was applied: texts the windows build themselves may have changed.
    void translated();

private:
    std::function<std::string(const std::string&)> m_languagePath;
    TLangPack m_pack;
    std::string m_languageFile;
    bool m_translated = false;
    TNameValueList m_messages;
    TNameValueList m_weekdays;
    TNameValueList m_valueNames;
    std::vector<QPointer<QWidget>> m_windows;
    // Follows the language file's language: Qt's texts come from Debian's qt6-translations-l10n.
    void loadQtTexts(const std::string& code);
    QString m_qtFolder;
    QString m_qtLanguage;
    std::unique_ptr<QTranslator> m_qtTexts;
};

} // namespace kestrivel
