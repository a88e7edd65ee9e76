#pragma once

namespace kestrivel {

class TfrmMain;

// Screen readers (AT-SPI through Qt's accessibility) see the calendar window as a table named with
// its title: seven columns, the days of the week, and six rows of day cells (the most a month takes),
// each named with its date, "today" where it is and the memos that fall on it; blank boxes are empty,
// invisible cells. The focused cell is the keyboard's day cursor. Qt builds all this only when an
// assistive technology asks for it, and the two calls below do nothing while none listens.

// Installs the factory that makes the table; later calls do nothing.
void InstallCalendarAccessibility();
// After a redraw: a new title and the days whose texts changed are announced.
void CalendarRedrawn(TfrmMain& window);
// The day cursor moved (or showed): the focus goes to its cell.
void CalendarCursorMoved(TfrmMain& window);

} // namespace kestrivel
