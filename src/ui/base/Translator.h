#pragma once

class QWidget;

namespace kestrivel {

class TLangPack;

// Applies the pack's section named after `form` (its object name) to the window: its own caption
// (also when empty), then each owned component by object name, in creation order, by kind:
// captions of labels, buttons, check boxes and group boxes; items of drop-down lists (keeping the
// selected position); tab captions; menu item captions; header cells of a grid. A missing or empty
// text leaves the component alone.
void TranslateForm(const TLangPack& pack, QWidget& form);

} // namespace kestrivel
