// SPDX-License-Identifier: MIT
#include "app/typed_path.h"

#include <QDir>
#include <QUrl>

namespace morvale {

namespace {

QString withoutQuotes(const QString& text) {
    for (const QChar quote : {QLatin1Char('"'), QLatin1Char('\'')}) {
        if (text.size() >= 2 && text.startsWith(quote) && text.endsWith(quote)) {
            return text.mid(1, text.size() - 2);
        }
    }
    return text;
}

}  // namespace

QString pathFromTyping(const QString& text) {
    QString path = withoutQuotes(text.trimmed());
    if (path.isEmpty()) return path;
    if (path.startsWith(QStringLiteral("file://"))) path = QUrl(path).toLocalFile();
    if (path.startsWith(QStringLiteral("~/"))) path = QDir::homePath() + path.mid(1);
    return QDir::cleanPath(QDir::current().absoluteFilePath(path));
}

}  // namespace morvale
