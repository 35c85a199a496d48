// SPDX-License-Identifier: MIT
#pragma once

#include <QCheckBox>
#include <QPushButton>
#include <QSize>
#include <QString>

namespace morvale {

// A push button as wide as its design width, or wider when its caption needs more room in
// the font it is drawn with; never narrower than its caption. (The styles' own minimum of
// 75-80 pixels for a captioned button would crowd the window's rows.)
class FittingButton : public QPushButton {
  public:
    FittingButton(const QString& caption, QSize designSize, QWidget* parent);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  private:
    QSize designSize_;
};

// A stream tick box. Its caption is drawn whole whenever the box has the room, and elided
// with "…" only when the window is too narrow for it; then the whole caption becomes the
// tooltip, above the box's hint. The caption is plain text: an ampersand is no mnemonic.
class StreamCheckBox : public QCheckBox {
  public:
    StreamCheckBox(const QString& caption, QWidget* parent);

    QString caption() const;
    void setCaption(const QString& caption);
    // The tooltip while the caption is shown whole (empty: the page's hint shows).
    void setHint(const QString& hint);
    bool isElided() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    int labelOverhead() const;  // the indicator and the gap beside it
    int captionWidth() const;
    void updateToolTip();

    QString hint_;
};

}  // namespace morvale
