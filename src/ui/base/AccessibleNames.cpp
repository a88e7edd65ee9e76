#include "base/AccessibleNames.h"

#include <QLabel>
#include <QWidget>

namespace kestrivel {

void LinkLabels(QWidget& form, std::initializer_list<std::pair<const char*, const char*>> labelToField) {
    for (const auto& [labelName, fieldName] : labelToField) {
        auto* label = form.findChild<QLabel*>(QLatin1String(labelName));
        auto* field = form.findChild<QWidget*>(QLatin1String(fieldName));
        if (label != nullptr && field != nullptr) {
            label->setBuddy(field);
        }
    }
}

} // namespace kestrivel
