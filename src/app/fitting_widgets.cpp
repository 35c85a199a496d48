// SPDX-License-Identifier: MIT
#include "app/fitting_widgets.h"

#include <algorithm>

#include <QFontMetrics>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace morvale {

namespace {

// A caption is shown as it is: ampersands are doubled so none becomes a mnemonic.
QString escaped(const QString& caption) {
    QString text = caption;
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

QString unescaped(const QString& text) {
    QString caption = text;
    return caption.replace(QStringLiteral("&&"), QStringLiteral("&"));
}

}  // namespace

FittingButton::FittingButton(const QString& caption, QSize designSize, QWidget* parent)
    : QPushButton(caption, parent), designSize_(designSize) {}

QSize FittingButton::sizeHint() const {
    ensurePolished();
    QStyleOptionButton option;
    initStyleOption(&option);
    const QFontMetrics metrics = fontMetrics();
    int contents = metrics.size(Qt::TextShowMnemonic, text()).width();
    if (!icon().isNull()) contents += iconSize().width() + (text().isEmpty() ? 0 : 4);
    const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, this);
    const int margin = text().isEmpty()
                           ? 2  // a picture button: the picture and its frame
                           : style()->pixelMetric(QStyle::PM_ButtonMargin, &option, this);
    const int margins = 2 * (margin + frame);
    const QSize styled = style()->sizeFromContents(QStyle::CT_PushButton, &option,
                                                   QSize(contents, metrics.height()), this);
    return {std::max(designSize_.width(), contents + margins),
            std::max(designSize_.height(), styled.height())};
}

QSize FittingButton::minimumSizeHint() const {
    return sizeHint();
}

StreamCheckBox::StreamCheckBox(const QString& caption, QWidget* parent)
    : QCheckBox(escaped(caption), parent) {}

QString StreamCheckBox::caption() const {
    return unescaped(text());
}

void StreamCheckBox::setCaption(const QString& caption) {
    setText(escaped(caption));
    updateToolTip();
}

void StreamCheckBox::setHint(const QString& hint) {
    hint_ = hint;
    updateToolTip();
}

int StreamCheckBox::labelOverhead() const {
    QStyleOptionButton option;
    initStyleOption(&option);
    constexpr int kWide = 1000;
    option.rect = QRect(0, 0, kWide, std::max(height(), 1));
    return kWide - style()->subElementRect(QStyle::SE_CheckBoxContents, &option, this).width();
}

int StreamCheckBox::captionWidth() const {
    return fontMetrics().size(Qt::TextShowMnemonic, text()).width();
}

bool StreamCheckBox::isElided() const {
    // Until a layout has placed the box it has no width of its own to elide to.
    return testAttribute(Qt::WA_Resized) && captionWidth() > width() - labelOverhead();
}

QSize StreamCheckBox::sizeHint() const {
    const QSize base = QCheckBox::sizeHint();
    return {std::max(base.width(), labelOverhead() + captionWidth() + 1), base.height()};
}

QSize StreamCheckBox::minimumSizeHint() const {
    // The indicator and a few letters: a narrow window elides the rest.
    const int letters = fontMetrics().horizontalAdvance(QStringLiteral("DD+…"));
    return {labelOverhead() + letters, QCheckBox::minimumSizeHint().height()};
}

void StreamCheckBox::paintEvent(QPaintEvent* /*event*/) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const int room = width() - labelOverhead();
    option.text = fontMetrics().elidedText(text(), Qt::ElideRight, room, Qt::TextShowMnemonic);
    painter.drawControl(QStyle::CE_CheckBox, option);
}

void StreamCheckBox::resizeEvent(QResizeEvent* event) {
    QCheckBox::resizeEvent(event);
    updateToolTip();
}

void StreamCheckBox::updateToolTip() {
    if (!isElided()) {
        setToolTip(hint_);
    } else if (hint_.isEmpty() || hint_ == caption()) {
        setToolTip(caption());
    } else {
        setToolTip(caption() + QLatin1Char('\n') + hint_);
    }
}

}  // namespace morvale
