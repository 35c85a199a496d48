// SPDX-License-Identifier: MIT
#include "app/locale_format.h"

#include <QTime>

#include "platform/clock.h"

namespace morvale {

QString longTimeFormatWithoutZone(const QLocale& locale) {
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString kept;
    bool quoted = false;
    for (QChar c : format) {
        if (c == QLatin1Char('\'')) quoted = !quoted;
        if (!quoted && c == QLatin1Char('t')) continue;
        kept += c;
    }
    // Whatever separated the zone from the time is now dangling.
    return kept.trimmed().remove(QStringLiteral("()")).trimmed();
}

std::string formatLongTime(const QLocale& locale, double days) {
    if (locale.language() == QLocale::C) return formatTimeOfDay(days);
    const QTime time =
        QTime::fromMSecsSinceStartOfDay(static_cast<int>(timeOfDayMilliseconds(days)));
    return locale.toString(time, longTimeFormatWithoutZone(locale)).toStdString();
}

char decimalSeparatorOf(const QLocale& locale) {
    const QString point = locale.decimalPoint();
    if (point.size() == 1 && point.at(0).unicode() < 0x80) return point.at(0).toLatin1();
    return '.';
}

}  // namespace morvale
