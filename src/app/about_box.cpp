// SPDX-License-Identifier: MIT
#include "app/about_box.h"

#include <QMessageBox>
#include <QPushButton>
#include <QtGlobal>

#include "app/jpeg_image.h"

namespace morvale {

QString aboutText() {
    return QStringLiteral(
               "<h3>Morvale %1</h3>"
               "<p>Takes HD DVD EVO and DVD VOB files apart into their video, audio and "
               "subpicture streams, reads the disc's playlist and rebuilds an EVO with the "
               "chosen streams only.</p>"
               "<p>Morvale is free software under the MIT License; see the LICENSE file that "
               "comes with it.</p>"
               "<p>Make MKV hands the streams to mkvmerge of MKVToolNix, a program of its own "
               "that Morvale runs when it is installed (it is not part of Morvale).</p>"
               "<p>Built with Qt %2 (running with Qt %3), used under the GNU Lesser General "
               "Public License version 3 (LGPL-3.0-only); its source code and licences are at "
               "<a href=\"https://www.qt.io/licensing/\">qt.io/licensing</a>.</p>"
               "<p>The logo is decoded by %4, used under the IJG License and the Modified "
               "(3-clause) BSD License. This software is based in part on the work of the "
               "Independent JPEG Group.</p>")
        .arg(QStringLiteral(MORVALE_VERSION), QStringLiteral(QT_VERSION_STR),
             QString::fromLatin1(qVersion()), jpegLibraryVersion());
}

void showAboutBox(QWidget* parent) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("About Morvale"), aboutText(),
                    QMessageBox::Close, parent);
    box.setObjectName(QStringLiteral("AboutBox"));
    box.setTextFormat(Qt::RichText);
    box.setTextInteractionFlags(Qt::TextBrowserInteraction);
    const double ratio = parent != nullptr ? parent->devicePixelRatioF() : 1.0;
    box.setIconPixmap(logoPixmap(QSize(125, 31), ratio));
    QPushButton* aboutQt = box.addButton(QStringLiteral("About Qt"), QMessageBox::HelpRole);
    box.exec();
    if (box.clickedButton() == aboutQt) QMessageBox::aboutQt(parent);
}

}  // namespace morvale
