#pragma once

#include "common/NameValueList.h"
#include "lang/LanguagePack.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <string>
#include <vector>

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
    explicit TTranslator(std::function<std::string(const std::string&)> languagePath,
                         QObject* parent = nullptr);

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
    // The 28 value names (memo types, style rows and choices) the configuration dialog lists.
    TNameValueList& ValueNames() { return m_valueNames; }
    // The file applied last; empty before the first translation.
    const std::string& LanguageFile() const { return m_languageFile; }

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
};

} // namespace kestrivel
