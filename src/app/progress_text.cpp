#include "app/progress_text.h"

#include <algorithm>

#include <QRegularExpression>

namespace morvale {

std::optional<ProgressMegabytes> progressMegabytes(const QString& text) {
    static const QRegularExpression kPattern(QStringLiteral("(?:^| )(\\d+)/(\\d+) Mbytes(?:,|$)"));
    const QRegularExpressionMatch match = kPattern.match(text);
    if (!match.hasMatch()) return std::nullopt;
    bool doneOk = false;
    bool totalOk = false;
    const int done = match.captured(1).toInt(&doneOk);
    const int total = match.captured(2).toInt(&totalOk);
    if (!doneOk || !totalOk || total <= 0) return std::nullopt;
    return ProgressMegabytes{std::min(done, total), total};
}

}  // namespace morvale
