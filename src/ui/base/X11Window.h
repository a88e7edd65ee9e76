#pragma once

class QWindow;

namespace kestrivel {

// Marks a window that is about to be mapped with the skip-taskbar and skip-pager states, so no
// taskbar, pager or task switcher lists it. Only the X11 platform has these states; elsewhere, and
// for a window that is already mapped, nothing happens. The states the platform sets itself (stay
// on top) are kept.
void MarkSkipTaskbarAndPager(QWindow& window);

} // namespace kestrivel
