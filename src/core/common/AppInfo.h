#pragma once

#include <QLatin1StringView>

namespace vellamor {

// The application title: the caption of every standard error box.
inline constexpr QLatin1StringView kApplicationTitle{"Vellamor Application Server Desktop"};

// The main window's own caption differs from the application title on purpose.
inline constexpr QLatin1StringView kMainWindowCaption{"Vellamor Cloud Server"};

// Where Help > Check for updates sends the administrator. Kept here, in one place.
inline constexpr QLatin1StringView kUpdatePageUrl{"https://www.vellamor.com/server/updates"};

// The desktop entry the installed panel is started from: the desktop shows the
// entry's name and icon for the panel's windows.
inline constexpr QLatin1StringView kDesktopFileId{"com.vellamor.ApplicationServerDesktop"};

// The name of the service the Service page watches and controls.
inline constexpr QLatin1StringView kServiceName{"VellamorServer"};

} // namespace vellamor
