#pragma once

#include <QIcon>
#include <QString>

// Tells the desktop which program a window belongs to, so that a shell shows
// the launcher's name and icon for it: the desktop entry's id (Wayland's app
// id, and the X11 startup notification, follow it) and the program's icon,
// which the program sets on its windows (X11's _NET_WM_ICON).
namespace ProgramIdentity {

// The icon installed for desktopId under the prefix of a program whose
// executable lies in binDir, in every size there is
// (share/icons/hicolor/NxN/apps/desktopId.png); null when none is.
QIcon installedIcon(const QString &desktopId, const QString &binDir);

// Sets the application's window icon: the one installed beside the program,
// else the icon theme's of that name; leaves it when there is neither.
void applyIcon(const QString &desktopId);

// Names the desktop entry now, and sets the window icon (applyIcon) from the
// event loop, after the windows shown before it are mapped.
void apply(const QString &desktopId);

} // namespace ProgramIdentity
