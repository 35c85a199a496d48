// SPDX-License-Identifier: MIT
#include "app/settings_store.h"

#include <cstring>
#include <limits>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QVariant>
#include <QtEndian>

#include "app/main_window.h"
#include "platform/clock.h"

namespace morvale {

namespace {

enum class StoredType { Integer, String, Boolean };

// A stored value, checked against its type.
struct Stored {
    int number = 0;  // Integer and Boolean
    QString text;    // String
};

// The window states as stored: 0 normal, 1 minimised, 2 maximised.
constexpr int kNormal = 0;
constexpr int kMinimised = 1;
constexpr int kMaximised = 2;

std::optional<int> integerOf(const QVariant& value) {
    bool ok = false;
    switch (value.typeId()) {
        case QMetaType::Int:
            return value.toInt();
        case QMetaType::UInt:
            return static_cast<int>(value.toUInt());  // a registry DWORD
        case QMetaType::LongLong:
        case QMetaType::ULongLong: {
            const qlonglong number = value.toLongLong(&ok);
            if (!ok || number < std::numeric_limits<int>::min() ||
                number > std::numeric_limits<int>::max()) {
                return std::nullopt;
            }
            return static_cast<int>(number);
        }
        case QMetaType::QString: {
            // INI files keep numbers as text.
            const int number = value.toString().toInt(&ok);
            if (ok) return number;
            return std::nullopt;
        }
        default:
            return std::nullopt;
    }
}

std::optional<Stored> checked(const QVariant& value, StoredType type) {
    if (type == StoredType::String) {
        if (value.typeId() != QMetaType::QString) return std::nullopt;
        return Stored{0, value.toString()};
    }
    std::optional<int> number = integerOf(value);
    if (!number) return std::nullopt;
    return Stored{*number, {}};
}

void applyWindowState(TfMain& window, int state) {
    Qt::WindowStates states = window.windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
    if (state == kMinimised) states |= Qt::WindowMinimized;
    if (state == kMaximised) states |= Qt::WindowMaximized;
    window.setWindowState(states);
}

int windowStateNumber(const TfMain& window) {
    if (window.isMaximized()) return kMaximised;
    if (window.isMinimized()) return kMinimised;
    return kNormal;
}

// A name the combo box does not know (a later version's format) leaves the choice as it is.
void chooseSubFormat(TfMain& window, const QString& name) {
    const int index = window.cbSubFormat->findData(name);
    if (index >= 0) window.cbSubFormat->setCurrentIndex(index);
}

using Apply = void (*)(TfMain&, const Stored&);
struct ReadRule {
    const char* name;
    StoredType type;
    Apply apply;
};

// In the order they are read; the window state follows the four placement values.
constexpr ReadRule kReadRules[] = {
    {"Width", StoredType::Integer, [](TfMain& w, const Stored& v) { w.setOuterWidth(v.number); }},
    {"Height", StoredType::Integer, [](TfMain& w, const Stored& v) { w.setOuterHeight(v.number); }},
    {"Top", StoredType::Integer, [](TfMain& w, const Stored& v) { w.setOuterTop(v.number); }},
    {"Left", StoredType::Integer, [](TfMain& w, const Stored& v) { w.setOuterLeft(v.number); }},
    {"WindowState", StoredType::Integer,
     [](TfMain& w, const Stored& v) { applyWindowState(w, v.number); }},
    {"TreeWidth", StoredType::Integer,
     [](TfMain& w, const Stored& v) { w.setTreeWidth(v.number); }},
    {"AudioExt", StoredType::String,
     [](TfMain& w, const Stored& v) { w.eAudioExt->setText(v.text); }},
    {"VideoExt", StoredType::String,
     [](TfMain& w, const Stored& v) { w.eVideoExt->setText(v.text); }},
    {"SubExt", StoredType::String, [](TfMain& w, const Stored& v) { w.eSubExt->setText(v.text); }},
    {"Workdir", StoredType::String,
     [](TfMain& w, const Stored& v) { w.eWorkdir->setText(v.text); }},
    {"EVOdir", StoredType::String,
     [](TfMain& w, const Stored& v) { w.session().selection.evoFolder = v.text.toStdString(); }},
    {"XPLdir", StoredType::String,
     [](TfMain& w, const Stored& v) { w.session().selection.xplFolder = v.text.toStdString(); }},
    {"Continue", StoredType::Boolean,
     [](TfMain& w, const Stored& v) { w.cbContinue->setChecked(v.number != 0); }},
    {"FastCheck", StoredType::Boolean,
     [](TfMain& w, const Stored& v) { w.cbFastCheck->setChecked(v.number != 0); }},
    {"CountFrames", StoredType::Boolean,
     [](TfMain& w, const Stored& v) { w.cbCountFr->setChecked(v.number != 0); }},
    {"Details", StoredType::Boolean,
     [](TfMain& w, const Stored& v) { w.cbDetails->setChecked(v.number != 0); }},
    {"SubFormat", StoredType::String,
     [](TfMain& w, const Stored& v) { chooseSubFormat(w, v.text); }},
};

using Value = QVariant (*)(TfMain&);
struct WriteRule {
    const char* name;
    Value value;
};

// The placement, written only for a window that is not maximised.
constexpr WriteRule kPlacementRules[] = {
    {"Top", [](TfMain& w) { return QVariant(w.frameGeometry().y()); }},
    {"Left", [](TfMain& w) { return QVariant(w.frameGeometry().x()); }},
    {"Width", [](TfMain& w) { return QVariant(w.frameGeometry().width()); }},
    {"Height", [](TfMain& w) { return QVariant(w.frameGeometry().height()); }},
};

QVariant flag(const QCheckBox* box) {
    return QVariant(box->isChecked() ? 1 : 0);
}

constexpr WriteRule kValueRules[] = {
    {"TreeWidth", [](TfMain& w) { return QVariant(w.treeWidth()); }},
    {"AudioExt", [](TfMain& w) { return QVariant(w.eAudioExt->text()); }},
    {"VideoExt", [](TfMain& w) { return QVariant(w.eVideoExt->text()); }},
    {"SubExt", [](TfMain& w) { return QVariant(w.eSubExt->text()); }},
    {"Workdir", [](TfMain& w) { return QVariant(w.eWorkdir->text()); }},
    {"EVOdir",
     [](TfMain& w) { return QVariant(QString::fromStdString(w.session().selection.evoFolder)); }},
    {"XPLdir",
     [](TfMain& w) { return QVariant(QString::fromStdString(w.session().selection.xplFolder)); }},
    {"Continue", [](TfMain& w) { return flag(w.cbContinue); }},
    {"FastCheck", [](TfMain& w) { return flag(w.cbFastCheck); }},
    {"CountFrames", [](TfMain& w) { return flag(w.cbCountFr); }},
    {"Details", [](TfMain& w) { return flag(w.cbDetails); }},
    {"SubFormat", [](TfMain& w) { return w.cbSubFormat->currentData(); }},
};

QSettings openStore() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope,
                     QLatin1String(kSettingsOrganisation), QLatin1String(kSettingsApplication));
}

}  // namespace

std::optional<QString> readSettings(TfMain& window) {
    const QSettings settings = openStore();
    for (const ReadRule& rule : kReadRules) {
        const QString name = QLatin1String(rule.name);
        if (!settings.contains(name)) continue;
        std::optional<Stored> value = checked(settings.value(name), rule.type);
        if (!value)
            return QStringLiteral("The stored setting \"%1\" has the wrong type.").arg(name);
        rule.apply(window, *value);
    }
    return std::nullopt;
}

void writeSettings(TfMain& window) {
    QSettings settings = openStore();
    if (!settings.isWritable()) return;
    settings.setValue(QStringLiteral("WindowState"), windowStateNumber(window));
    if (!window.isMaximized()) {
        for (const WriteRule& rule : kPlacementRules) {
            settings.setValue(QLatin1String(rule.name), rule.value(window));
        }
    }
    for (const WriteRule& rule : kValueRules) {
        settings.setValue(QLatin1String(rule.name), rule.value(window));
    }
    if (!settings.contains(QStringLiteral("Install"))) {
        settings.setValue(QStringLiteral("Install"), installStamp(localNowDays()));
    }
    settings.sync();
}

QByteArray installStamp(double days) {
    quint64 bits = 0;
    std::memcpy(&bits, &days, sizeof bits);
    QByteArray stamp(sizeof bits, '\0');
    qToLittleEndian(bits, stamp.data());
    return stamp;
}

std::optional<double> installDays(const QByteArray& stamp) {
    if (stamp.size() != 8) return std::nullopt;
    const quint64 bits = qFromLittleEndian<quint64>(stamp.constData());
    double days = 0;
    std::memcpy(&days, &bits, sizeof days);
    return days;
}

}  // namespace morvale
