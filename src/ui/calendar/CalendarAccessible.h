#pragma once

namespace kestrivel {

class TfrmMain;

// Screen readers (AT-SPI through Qt's accessibility) see the calendar window as a list named with its
// title: one item for each day of the shown month, named with its date, "today" where it is and the
// memos that fall on it. The focused item is the keyboard's day cursor, so every move is heard as that
// one day. Qt builds all this only when an assistive technology asks for it, and the two calls below
// do nothing while none listens.

// Installs the factory that makes the table; later calls do nothing.
void InstallCalendarAccessibility();
// After a redraw: a new title and the days whose texts changed are announced.
void CalendarRedrawn(TfrmMain& window);
// The day cursor moved, showed or came back with the window: the focus goes to its day.
void CalendarCursorMoved(TfrmMain& window);

} // namespace kestrivel
