#pragma once

class QString;
class QWidget;
class QWindow;

namespace kestrivel {

// Marks a window that is about to be mapped with the skip-taskbar and skip-pager states, so no
// taskbar, pager or task switcher lists it. Only the X11 platform has these states; elsewhere, and
// for a window that is already mapped, nothing happens. The states the platform sets itself (stay
// on top) are kept.
void MarkSkipTaskbarAndPager(QWindow& window);

// Gives a window that has just been mapped its role and asks the window manager for the
// skip-taskbar and skip-pager states. The marks set before the map may have gone to another native
// window: Qt makes a new one while mapping a window whose stay-on-top hint changed since it was made,
// and the new one has neither the role nor these states. A window manager also drops the states of
// a window it unmaps, possibly after the marks for the next map were set. A mapped window's states
// belong to the window manager, so they are asked for rather than written. X11 only.
void RemarkMappedWindow(QWindow& window, const QString& role);

// Asks compositing managers for no shadow around a window that is about to be mapped. The window
// has an alpha channel, for which xcompmgr draws none, but xcompmgr decides that only when it sees a
// window mapped: a window manager's frame that it saw sized before its map keeps the shadow made
// then (a dark block behind the see-through calendar). So, while a compositor runs, every map of the
// window is followed by a one-pixel change of its size and back, which drops that shadow, and then
// by an Expose of the root window around it, which repaints the desktop the shadow covered. compton
// and picom read _COMPTON_SHADOW instead, set to 0 on the window and its frame. X11 only.
void AskNoCompositorShadow(QWindow& window);

// Asks the window manager for a title bar with only a close button on a dialog of a fixed size, at each
// showing. The dialog's Qt hints (_MOTIF_WM_HINTS without minimise and maximise) are enough for most
// window managers, but Openbox keeps those buttons on every dialog and utility window and leaves them
// out only for menus and toolbars torn off an application, which it otherwise treats as it treats
// utility windows; under Openbox the dialog's window type is given as a toolbar first. X11 only.
void AskOnlyCloseButton(QWidget& dialog);
// Keeps a dialog above other windows or not without changing its Qt flags: Qt makes a new native
// window at the next showing of a window whose stay-on-top hint changed, and the new one lacks what
// was asked for the old one at its showing (AskOnlyCloseButton). Before the dialog is mapped the
// states go into its property, after it they are asked of the window manager. X11 only: false
// elsewhere, where the caller changes the flags.
bool AskAbove(QWidget& dialog, bool above);

} // namespace kestrivel
