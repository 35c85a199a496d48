// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

#include <QByteArray>
#include <QSettings>
#include <QString>

namespace morvale {

class TfMain;

// The per-user settings store of the window: organisation "Vorrick Software", application
// "Morvale", in the platform's native format (an INI file under the user's config folder on
// Linux, the registry key \Software\Vorrick Software\Morvale on Windows).
inline constexpr char kSettingsOrganisation[] = "Vorrick Software";
inline constexpr char kSettingsApplication[] = "Morvale";

// Reads the stored values into the window in their fixed order; a missing value leaves its
// control as it is. A value of the wrong type stops the reading there: the values before it
// stay applied, and the message naming it is returned.
std::optional<QString> readSettings(TfMain& window);

// Stores the window's values. A maximised window leaves the stored placement alone, so the
// next start restores the last normal one and then maximises. "Install" is written once, at
// the first store. A store that cannot be written is skipped without a word.
void writeSettings(TfMain& window);

// "Install": the local date and time as days since 1899-12-30, an 8-byte little-endian
// IEEE double.
QByteArray installStamp(double days);
std::optional<double> installDays(const QByteArray& stamp);

}  // namespace morvale
