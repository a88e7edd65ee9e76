#include "base/AccessibleNames.h"

#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QPointer>
#include <QWidget>

namespace kestrivel {

namespace {

// A closed drop-down list is spoken by its label alone: screen readers do not ask it for its value
// ("Month : combo box."). Its name, and the label's that readers take first, is the label's caption
// and the value, made anew when the value changes and when the list takes the focus (the caption may
// have been translated since).
class ListValueName : public QObject {
public:
    ListValueName(QComboBox& list, QLabel& label) : QObject(&list), m_list(list), m_label(&label) {
        list.installEventFilter(this);
        connect(&list, &QComboBox::currentIndexChanged, this, &ListValueName::Rename);
        Rename();
    }

    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::FocusIn) {
            Rename();
        }
        return false;
    }

private:
    void Rename() {
        if (m_label != nullptr) {
            const QString name =
                QString(m_label->text()).remove(QLatin1Char('&')) + QLatin1Char(' ') + m_list.currentText();
            m_label->setAccessibleName(name);
            m_list.setAccessibleName(name);
        }
    }

    QComboBox& m_list;
    QPointer<QLabel> m_label;
};

} // namespace

void LinkLabels(QWidget& form, std::initializer_list<std::pair<const char*, const char*>> labelToField) {
    for (const auto& [labelName, fieldName] : labelToField) {
        auto* label = form.findChild<QLabel*>(QLatin1String(labelName));
        auto* field = form.findChild<QWidget*>(QLatin1String(fieldName));
        if (label != nullptr && field != nullptr) {
            label->setBuddy(field);
            if (auto* list = qobject_cast<QComboBox*>(field)) {
                new ListValueName(*list, *label);
            }
        }
    }
}

} // namespace kestrivel
