#pragma once

#include <initializer_list>
#include <utility>

class QWidget;

namespace kestrivel {

// Screen readers name a field by the label it is the buddy of (AT-SPI "labelled by"); the label's
// caption comes from the language file, so the name follows the language. Each pair names a label
// and the field beside it (object names, found anywhere in `form`); a pair not found is skipped. A
// drop-down list is named by its label and its value instead, which screen readers then speak.
void LinkLabels(QWidget& form, std::initializer_list<std::pair<const char*, const char*>> labelToField);

} // namespace kestrivel
