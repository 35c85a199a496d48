// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include <QLocale>
#include <QString>

namespace morvale {

// The locale's long time format with its time-zone fields taken out (a time of day, not an
// instant, is being shown).
QString longTimeFormatWithoutZone(const QLocale& locale);

// A date-time's time of day (days since 1899-12-30, the fraction being the time) in the
// locale's long time format without a time zone; h:mm:ss in the C locale.
std::string formatLongTime(const QLocale& locale, double days);

// The locale's decimal separator when it is one byte, else '.'.
char decimalSeparatorOf(const QLocale& locale);

}  // namespace morvale
