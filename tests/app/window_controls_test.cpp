// SPDX-License-Identifier: MIT
// The main window's controls in their designed state, its geometry and resizing, the
// default button, the message log and the status bar.

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QScreen>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTreeWidget>

#include "app/command_line.h"
#include "app/jpeg_image.h"
#include "window_test_support.h"

namespace morvale {
namespace {

QString captionOf(QWidget* widget) {
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text();
    if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
    if (auto* box = qobject_cast<QGroupBox*>(widget)) return box->title();
    if (auto* combo = qobject_cast<QComboBox*>(widget)) return combo->currentText();
    return {};
}

// Which edges besides left and top a control follows.
enum Follow { None = 0, Right = 1, Bottom = 2, Width = 4, Height = 8 };

struct OuterControl {
    const char* name;
    const char* className;
    QRect design;
    int follow;
    const char* caption;
    const char* tooltip;
    bool enabled;
};

// The controls outside the pages as designed (client area 362 x 346).
const OuterControl kOuterControls[] = {
    {"eEVOfile", "QLineEdit", {8, 8, 249, 21}, Width, "", "Drop here the source EVO file", true},
    {"bbEVO", "QPushButton", {263, 6, 25, 25}, Right, "", "Browse an EVO file", true},
    {"bCheck",
     "QPushButton",
     {294, 7, 60, 25},
     Right,
     "Read EVO",
     "Read the source EVO file to detect streams",
     false},
    {"eXPLfile", "QLineEdit", {8, 40, 249, 21}, Width, "", "Drop here the VPLST000.XPL", true},
    {"bbXPL",
     "QPushButton",
     {263, 38, 25, 25},
     Right,
     "",
     "Browse the HD DVD disc's VPLST000.XPL",
     true},
    {"bReadXPL",
     "QPushButton",
     {294, 38, 60, 25},
     Right,
     "Read XPL",
     "Read the XPL file to detect stream infos",
     false},
    {"PageControl", "QTabWidget", {8, 69, 346, 219}, Width | Height, "", "", true},
    {"bDemux",
     "QPushButton",
     {8, 294, 60, 25},
     Bottom,
     "Demux",
     "Demux the source EVO to streams",
     false},
    {"bRebuild", "QPushButton", {74, 294, 60, 25}, Bottom, "Rebuild", "", false},
    {"bCancel",
     "QPushButton",
     {294, 294, 60, 25},
     Right | Bottom,
     "Cancel",
     "You can stop the actual process",
     false},
    {"StatusBar",
     "QStatusBar",
     {0, 325, 362, 21},
     Width | Bottom,
     "",
     " Select or drop an EVO file to demux",
     true},
};

// Where a control that follows `follow` goes when the window grows by `grown`.
QRect followed(QRect rect, int follow, QSize grown) {
    if (follow & Width) rect.setWidth(rect.width() + grown.width());
    if (follow & Right) rect.translate(grown.width(), 0);
    if (follow & Height) rect.setHeight(rect.height() + grown.height());
    if (follow & Bottom) rect.translate(0, grown.height());
    return rect;
}

QRect expectedPlace(const OuterControl& control, QSize client) {
    return followed(control.design, control.follow, client - QSize(362, 346));
}

// The layouts place a control within a few pixels of its design place: a caption that
// needs more room in the font it is drawn with widens its button and moves its neighbours.
constexpr int kLayoutSlack = 4;

bool nearPlace(const QRect& placed, const QRect& design) {
    return qAbs(placed.left() - design.left()) <= kLayoutSlack &&
           qAbs(placed.top() - design.top()) <= kLayoutSlack &&
           qAbs(placed.right() - design.right()) <= kLayoutSlack &&
           qAbs(placed.bottom() - design.bottom()) <= kLayoutSlack;
}

QString placeText(const QRect& rect) {
    return QStringLiteral("%1,%2 %3x%4")
        .arg(rect.x())
        .arg(rect.y())
        .arg(rect.width())
        .arg(rect.height());
}

struct OptionControl {
    const char* name;
    const char* className;
    const char* caption;
    const char* tooltip;
    int checked;  // -1: no tick
};

const OptionControl kOptionControls[] = {
    {"gbFile", "QGroupBox", "", "", -1},
    {"lVideoExt", "QLabel", "Extensions (video, audio, subtitle)", "", -1},
    {"eVideoExt", "QLineEdit", "mpv", "", -1},
    {"eAudioExt", "QLineEdit", "mpa", "", -1},
    {"eSubExt", "QLineEdit", "sup", "This is real .sup format, don't change!", -1},
    {"lWorkdir", "QLabel", "Output folder", "", -1},
    {"eWorkdir", "QLineEdit", "", "Destination directory for the demuxed streams", -1},
    {"cbContinue", "QCheckBox", "Continue with second EVO",
     "Demux continues with FEATURE_2.EVO (if it exists) after finishing FEATURE_1.EVO", 1},
    {"cbFastCheck", "QCheckBox", "Fast EVO checking",
     "Read EVO checks only the first ~300 MB of the file", 1},
    {"cbCountFr", "QCheckBox", "Count frames",
     "Works only if the process hasn't cancelled by Fast EVO checking", 1},
    {"cbDetails", "QCheckBox", "Detailed info", "Detailed information about streams", 1},
    {"lSubFormat", "QLabel", "Subpicture format", "", -1},
    {"cbSubFormat", "QComboBox", "Subpicture records",
     "How Demux writes subpicture streams: as subpicture records, as PGS, or as VobSub (DVD "
     "subpictures)",
     -1},
};

struct PageTab {
    const char* name;
    const char* tab;
    const char* tooltip;
};
const PageTab kPages[] = {
    {"tsStatus", "Status", ""},
    {"tsVideo", "Video", "Check the desired video stream"},
    {"tsAudio", "Audio", "Check the desired audio streams"},
    {"tsSubpicture", "Subpicture", "Check the desired subpicture streams"},
    {"tsXPL", "XPL", ""},
    {"tsOption", "Options", ""},
};

// The 40 stream boxes: name, page, place, and the caption after the first activation.
struct ExpectedBox {
    QString name;
    QString page;
    QRect place;
    QString designCaption;
    QString emptyCaption;
    QString tooltip;
};

QList<ExpectedBox> expectedBoxes() {
    const int rows[] = {9, 31, 53, 75, 98, 120, 142, 165};
    QList<ExpectedBox> boxes;
    for (int n = 0; n < 8; ++n) {
        boxes.append({QStringLiteral("cbVideo%1").arg(n), QStringLiteral("tsVideo"),
                      QRect(9, rows[n], 140, 17), QStringLiteral("Video stream"),
                      QStringLiteral("No video stream"), QString()});
    }
    for (int n = 0; n < 16; ++n) {
        boxes.append({QStringLiteral("cbAudio%1").arg(n, 2, 10, QLatin1Char('0')),
                      QStringLiteral("tsAudio"), QRect(n < 8 ? 9 : 165, rows[n % 8], 140, 17),
                      QStringLiteral("Audio stream"), QStringLiteral("No audio stream"),
                      QString()});
    }
    for (int n = 0; n < 16; ++n) {
        boxes.append({QStringLiteral("cbSub%1").arg(n, 2, 10, QLatin1Char('0')),
                      QStringLiteral("tsSubpicture"), QRect(n < 8 ? 9 : 165, rows[n % 8], 140, 17),
                      QStringLiteral("Subpicture"), QStringLiteral("No subpicture"),
                      n == 0 ? QString() : QStringLiteral("Check the desired subpicture streams")});
    }
    return boxes;
}

template <class T>
T* child(QWidget& window, const QString& name) {
    return window.findChild<T*>(name);
}

class WindowControlsTest : public QObject {
    Q_OBJECT

  private slots:
    void init() { settings_.clear(); }

    void windowHasItsCaptionAndMinimumSize() {
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        QCOMPARE(w.window.windowTitle(), QStringLiteral("Morvale 0.617"));
        QCOMPARE(w.window.objectName(), QStringLiteral("fMain"));
        // A first start opens larger than the minimum, within the screen.
        QVERIFY(w.window.frameGeometry().width() >= 370);
        QVERIFY(w.window.frameGeometry().height() >= 380);
        QVERIFY(w.window.screen()->availableGeometry().contains(w.window.frameGeometry()));
        QCOMPARE(QFontInfo(w.window.font()).pixelSize(), 11);
    }

    void outerControlsStartInTheirDesignedState_data() {
        QTest::addColumn<int>("index");
        for (int n = 0; n < int(std::size(kOuterControls)); ++n) {
            QTest::newRow(kOuterControls[n].name) << n;
        }
    }
    void outerControlsStartInTheirDesignedState() {
        QFETCH(int, index);
        const OuterControl& expected = kOuterControls[index];
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        QWidget* widget = child<QWidget>(w.window, QLatin1String(expected.name));
        QVERIFY(widget != nullptr);
        QCOMPARE(widget->metaObject()->className(), expected.className);
        QCOMPARE(captionOf(widget), QLatin1String(expected.caption));
        QCOMPARE(widget->toolTip(), QLatin1String(expected.tooltip));
        QCOMPARE(widget->isEnabled(), expected.enabled);
        const QRect placed = widget->geometry();
        QVERIFY2(nearPlace(placed, expectedPlace(expected, w.window.size())),
                 qPrintable(placeText(placed)));
        const QSize before = w.window.size();
        w.window.resize(520, 470);
        QCOMPARE(widget->geometry(), followed(placed, expected.follow, QSize(520, 470) - before));
    }

    // The path edits say how they are filled; typing in them changes no choice until Enter
    // takes the path (see the window's action tests).
    void pathEditsAreReadOnlyAndSkippedByTab() {
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        for (QLineEdit* edit : {w.window.eEVOfile, w.window.eXPLfile}) {
            QVERIFY(!(edit->focusPolicy() & Qt::TabFocus));
            QVERIFY(edit->placeholderText().startsWith(QStringLiteral("Browse or drop ")));
        }
        QTest::mouseClick(w.window.eEVOfile, Qt::LeftButton);
        QTest::keyClicks(w.window.eEVOfile, QStringLiteral("typed"));
        QCOMPARE(w.window.eEVOfile->text(), QStringLiteral("typed"));
        QCOMPARE(w.window.text(Edit::EvoFile), std::string());
        QVERIFY(!w.window.bCheck->isEnabled());
    }

    void buttonsShowTheirPictures() {
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        QVERIFY(!w.window.bbEVO->icon().isNull());
        QVERIFY(!w.window.bbXPL->icon().isNull());
        QVERIFY(w.window.bDemux->font().bold());
        QVERIFY(!w.window.bRebuild->font().bold());
        QVERIFY(w.window.bCheck->isDefault());
    }

    void pagesComeInTabOrder() {
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        QTabWidget* pages = w.window.PageControl;
        QCOMPARE(pages->count(), int(std::size(kPages)));
        for (int n = 0; n < pages->count(); ++n) {
            QCOMPARE(pages->widget(n)->objectName(), QLatin1String(kPages[n].name));
            QCOMPARE(pages->tabText(n), QLatin1String(kPages[n].tab));
            QCOMPARE(pages->widget(n)->toolTip(), QLatin1String(kPages[n].tooltip));
        }
        QCOMPARE(pages->currentIndex(), 0);
    }

    void streamBoxesStartDisabledAndTakeTheirEmptyCaptionsAtActivation() {
        apptest::WindowUnderTest w;
        const QList<ExpectedBox> boxes = expectedBoxes();
        for (const ExpectedBox& expected : boxes) {
            auto* box = child<QCheckBox>(w.window, expected.name);
            QVERIFY2(box != nullptr, qPrintable(expected.name));
            QCOMPARE(box->text(), expected.designCaption);
        }
        QVERIFY(w.show());
        int number = 0;
        for (const ExpectedBox& expected : boxes) {
            auto* box = child<QCheckBox>(w.window, expected.name);
            QCOMPARE(box->parentWidget()->objectName(), expected.page);
            // Only the two video boxes that can hold a stream are shown; the others are
            // in their design rows and columns.
            const bool shown = !expected.name.startsWith(QStringLiteral("cbVideo")) ||
                               expected.name < QStringLiteral("cbVideo2");
            QCOMPARE(box->isHidden(), !shown);
            w.window.PageControl->setCurrentWidget(box->parentWidget());
            QCoreApplication::processEvents();
            if (shown) {
                QVERIFY(qAbs(box->y() - expected.place.y()) <= kLayoutSlack);
                const bool firstColumn = expected.place.x() < 100;
                QCOMPARE(qAbs(box->x() - expected.place.x()) <= kLayoutSlack, firstColumn);
                QVERIFY(box->width() >= box->sizeHint().width());
            }
            QCOMPARE(box->text(), expected.emptyCaption);
            QCOMPARE(box->toolTip(), expected.tooltip);
            QVERIFY2(!box->isEnabled(), qPrintable(expected.name));
            QVERIFY(!box->isChecked());
            QCOMPARE(w.window.box(boxAt(number++)), box);
        }
    }

    void optionsPageStartsInItsDesignedState() {
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        for (const OptionControl& expected : kOptionControls) {
            QWidget* widget = child<QWidget>(w.window, QLatin1String(expected.name));
            QVERIFY2(widget != nullptr, expected.name);
            QCOMPARE(widget->metaObject()->className(), expected.className);
            QCOMPARE(captionOf(widget), QLatin1String(expected.caption));
            QCOMPARE(widget->toolTip(), QLatin1String(expected.tooltip));
            QVERIFY(widget->isEnabled());
            if (expected.checked >= 0) {
                QCOMPARE(qobject_cast<QCheckBox*>(widget)->isChecked(), expected.checked == 1);
            }
        }
        w.window.resize(362, 346);  // the design's client area (the minimum size applies)
        w.window.showPage(Page::Options);
        QCoreApplication::processEvents();
        QVERIFY2(nearPlace(w.window.gbFile->geometry(), QRect(3, 0, 344, 78)),
                 qPrintable(placeText(w.window.gbFile->geometry())));
        QVERIFY(w.window.eWorkdir->x() > w.window.lWorkdir->geometry().right());
        QVERIFY(w.window.eWorkdir->width() >= 200);
        QVERIFY(w.window.bbWorkdir->x() > w.window.eWorkdir->geometry().right());
        QCOMPARE(w.window.bbWorkdir->toolTip(), QStringLiteral("Browse the output folder"));
        // The three extension edits side by side after their label, 38 wide or more.
        const QList<QLineEdit*> extensions = {w.window.eVideoExt, w.window.eAudioExt,
                                              w.window.eSubExt};
        int left = w.window.lVideoExt->geometry().right();
        for (QLineEdit* extension : extensions) {
            QCOMPARE(extension->parentWidget(), w.window.gbFile);
            QVERIFY(extension->x() > left);
            left = extension->geometry().right();
            QCOMPARE(extension->width(), extensions[0]->width());
            QVERIFY(extension->width() >= 38);
            QCOMPARE(extension->maxLength(), 5);
        }
        for (QCheckBox* box :
             {w.window.cbContinue, w.window.cbFastCheck, w.window.cbCountFr, w.window.cbDetails}) {
            QVERIFY(qAbs(box->x() - 3) <= kLayoutSlack);
            QVERIFY(box->y() >= 78);
        }
    }

    void aSixthCharacterIsRefusedInAnExtensionEdit() {
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        w.window.showPage(Page::Options);
        for (QLineEdit* edit : {w.window.eVideoExt, w.window.eAudioExt, w.window.eSubExt}) {
            edit->setFocus();
            edit->selectAll();
            QTest::keyClicks(edit, QStringLiteral("abcdef"));
            QCOMPARE(edit->text(), QStringLiteral("abcde"));
        }
    }

    void xplPageHoldsTreeSplitterAndCourierMemo() {
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        QTreeWidget* tree = w.window.tvXPL;
        QCOMPARE(tree->topLevelItemCount(), 4);
        const char* items[] = {"Video", "Audio", "Subpicture", "Chapter"};
        for (int n = 0; n < 4; ++n)
            QCOMPARE(tree->topLevelItem(n)->text(0), QLatin1String(items[n]));
        QCOMPARE(tree->selectionMode(), QAbstractItemView::ExtendedSelection);
        QCOMPARE(tree->indentation(), 19);
        QCOMPARE(tree->toolTip(), QStringLiteral("Infos from your XPL file"));
        QCOMPARE(w.window.mXPL->toolTip(), QStringLiteral("This is your XPL file (part of it)"));
        QVERIFY(QFontInfo(w.window.mXPL->font()).fixedPitch());
        QCOMPARE(w.window.mXPL->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(w.window.mXPL->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(w.window.splXPL->orientation(), Qt::Horizontal);
        QCOMPARE(w.window.splXPL->widget(0), static_cast<QWidget*>(tree));
        QCOMPARE(w.window.splXPL->widget(1), static_cast<QWidget*>(w.window.mXPL));

        w.window.resize(450, 420);
        w.window.showPage(Page::Xpl);
        QCOMPARE(tree->width(), 96);
        QCOMPARE(w.window.treeWidth(), 96);
        // A wider window widens the tree too, by less than the memo; the splitter stops at 50.
        const int memo = w.window.mXPL->width();
        w.window.resize(w.window.width() + 300, 450);
        const int treeGain = tree->width() - 96;
        QVERIFY(treeGain >= 60);
        QVERIFY(w.window.mXPL->width() - memo > treeGain);
        const int room = w.window.splXPL->width() - w.window.splXPL->handleWidth();
        w.window.splXPL->setSizes({10, room - 10});
        QCOMPARE(tree->width(), 50);
    }

    void fileDialogsAreConfigured() {
        apptest::WindowUnderTest w;
        QFileDialog* evo = w.window.odEVOfile;
        QCOMPARE(evo->objectName(), QStringLiteral("odEVOfile"));
        QCOMPARE(evo->windowTitle(), QStringLiteral("Choose the EVO file to demux"));
        QCOMPARE(evo->nameFilters(),
                 QStringList({QStringLiteral("EVO and VOB files (*.evo *.EVO *.vob *.VOB)"),
                              QStringLiteral("EVOB files (HD DVD) (*.evo *.EVO)"),
                              QStringLiteral("VOB files (DVD) (*.vob *.VOB)"),
                              QStringLiteral("All files (*)")}));
        QCOMPARE(evo->defaultSuffix(), QStringLiteral("EVO"));
        QCOMPARE(evo->fileMode(), QFileDialog::ExistingFile);
        QVERIFY(evo->testOption(QFileDialog::DontResolveSymlinks));
        QVERIFY(evo->isSizeGripEnabled());

        QFileDialog* xpl = w.window.odXPL;
        QCOMPARE(xpl->objectName(), QStringLiteral("odXPL"));
        QCOMPARE(xpl->nameFilters(), QStringList(QStringLiteral("XPL (VPLST000.XPL)")));
        QCOMPARE(xpl->acceptMode(), QFileDialog::AcceptOpen);
        QVERIFY(xpl->isSizeGripEnabled());
    }

    void tabFollowsTheDesignedFocusOrder() {
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        for (Button b :
             {Button::Check, Button::ReadXpl, Button::Demux, Button::Rebuild, Button::Cancel}) {
            w.window.setEnabled(b, true);
        }
        const QList<QWidget*> order = {w.window.bbEVO,    w.window.bCheck,      w.window.bbXPL,
                                       w.window.bReadXPL, w.window.bDemux,      w.window.bRebuild,
                                       w.window.bMakeMkv, w.window.PageControl, w.window.bCancel};
        w.window.bbEVO->setFocus();
        QCOMPARE(QApplication::focusWidget(), w.window.bbEVO);
        int next = 1;
        for (int presses = 0; presses < 20 && next < order.size(); ++presses) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* focus = QApplication::focusWidget();
            QVERIFY(focus != w.window.eEVOfile && focus != w.window.eXPLfile);
            const bool onPages =
                w.window.PageControl->isAncestorOf(focus) || focus == w.window.PageControl;
            if (focus == order[next] || (order[next] == w.window.PageControl && onPages)) {
                ++next;
            } else {
                // Only the page control's own children may come between.
                QVERIFY2(next == 8 && onPages, qPrintable(focus->objectName()));
            }
        }
        QCOMPARE(next, int(order.size()));
    }

    void makeMkvFollowsDemuxAndTheLock() {
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        const struct {
            bool demux, locked, makeMkv;
        } cases[] = {{true, false, true}, {false, false, false}, {true, true, false}};
        for (const auto& c : cases) {
            w.window.setEnabled(Button::Demux, c.demux);
            w.window.setLocked(c.locked);
            QCOMPARE(w.window.bMakeMkv->isEnabled(), c.makeMkv);
            QCOMPARE(w.window.bMakeMkv->isEnabled(), w.window.bDemux->isEnabled());
        }
        w.window.setLocked(false);
    }

    void logoIsDecodedAndDrawnTransparent() {
        const QImage decoded = decodeJpeg(kLogoJpeg, kLogoJpegSize);
        QCOMPARE(decoded.size(), QSize(125, 31));
        const QImage logo = logoPicture();
        QCOMPARE(qAlpha(logo.pixel(0, 30)), 0);
        QCOMPARE(qAlpha(logo.pixel(124, 0)), 0);
        int opaque = 0;
        for (int y = 0; y < logo.height(); ++y) {
            for (int x = 0; x < logo.width(); ++x)
                opaque += qAlpha(logo.pixel(x, y)) == 255;
        }
        QVERIFY(opaque > 500);  // the lettering stays

        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        QCOMPARE(w.window.imLogo->size(), QSize(125, 31));
        QCOMPARE(w.window.imLogo->toolTip(), QStringLiteral("HD DVD logo :-)"));
        QVERIFY(!w.window.imLogo->pixmap().isNull());
    }

    void damagedJpegGivesNoPictureAndKeepsTheProgramRunning() {
        const unsigned char garbage[] = {0x00, 0x11, 0x22, 0x33, 0x44};
        QVERIFY(decodeJpeg(garbage, sizeof garbage).isNull());
        QVERIFY(decodeJpeg(kLogoJpeg, 20).isNull());  // cut before the frame header
        QVERIFY(decodeJpeg(nullptr, 0).isNull());
    }

    void logoStaysAt153UpTo432AndIsCentredBeyond() {
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        const int frame = w.window.frameGeometry().width() - w.window.width();
        const int heights = w.window.height();
        const struct {
            int outer;
            int left;
        } cases[] = {{400, 153}, {432, 153}, {434, 154}, {500, 187}, {370, 153}};
        for (const auto& c : cases) {
            w.window.resize(c.outer - frame, heights);
            QCOMPARE(w.window.frameGeometry().width(), c.outer);
            // Where that place lies under "Make MKV", the logo keeps out of its way (6 pixels
            // on) or, without room before Cancel, is hidden.
            const int room = w.window.bMakeMkv->geometry().right() + 1 + 6;
            const int left = std::max(c.left, room);
            if (left + w.window.imLogo->width() <= w.window.bCancel->x() - 6) {
                QVERIFY(w.window.imLogo->isVisible());
                QCOMPARE(w.window.imLogo->x(), left);
            } else {
                QVERIFY(!w.window.imLogo->isVisible());
            }
        }
        w.window.resize(500 - frame, heights + 40);
        // Two pixels above the command buttons, as designed (292 against 294).
        QCOMPARE(w.window.imLogo->y(), w.window.bDemux->y() - 2);
    }

    void windowRefusesToShrinkBelow370By380() {
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        w.window.resize(300, 300);
        QCOMPARE(w.window.frameGeometry().size(), QSize(370, 380));
        const int frameWidth = w.window.frameGeometry().width() - w.window.width();
        const int frameHeight = w.window.frameGeometry().height() - w.window.height();
        w.window.resize(369 - frameWidth, 500);
        QCOMPARE(w.window.frameGeometry().width(), 370);
        w.window.resize(371 - frameWidth, 379 - frameHeight);
        QCOMPARE(w.window.frameGeometry().size(), QSize(371, 380));
    }

    void enterPressesReadEvoOnlyWhenItIsEnabled() {
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        // The buttons run their commands: give them an (empty) source to read.
        testing::TempDir dir;
        testing::writeFileBytes(dir.file("EMPTY.EVO"), {});
        w.window.eEVOfile->setText(QString::fromStdString(dir.file("EMPTY.EVO")));
        w.window.EVOadj();
        w.window.eWorkdir->setText(QString::fromStdString(dir.path()));
        w.window.setEnabled(Button::Check, false);
        QSignalSpy readEvo(w.window.bCheck, &QPushButton::clicked);
        QSignalSpy demux(w.window.bDemux, &QPushButton::clicked);
        w.window.showPage(Page::Status);
        QTest::keyClick(w.window.mMessage, Qt::Key_Return);
        QCOMPARE(readEvo.count(), 0);

        w.window.setEnabled(Button::Check, true);
        QTest::keyClick(w.window.mMessage, Qt::Key_Return);
        QCOMPARE(readEvo.count(), 1);
        QTest::keyClick(w.window.mMessage, Qt::Key_Enter);
        QCOMPARE(readEvo.count(), 2);

        // A focused button takes Enter itself.
        w.window.setEnabled(Button::Demux, true);
        w.window.bDemux->setFocus();
        QTest::keyClick(w.window.bDemux, Qt::Key_Return);
        QCOMPARE(demux.count(), 1);
        QCOMPARE(readEvo.count(), 2);

        // Locked while a command runs.
        w.window.setLocked(true);
        QTest::keyClick(w.window.mMessage, Qt::Key_Return);
        QCOMPARE(readEvo.count(), 2);
    }

    void logAppendsLinesUnchanged() {
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        QCOMPARE(w.window.logLines(), QStringList());
        w.window.log("");
        w.window.log("");
        QCOMPARE(w.window.logLines(), QStringList({QString(), QString()}));
        w.window.log("   First PTS = 0001E240");
        w.window.log("Opening file FEATURE_1.EVO");
        QCOMPARE(w.window.logLines().size(), 4);
        QCOMPARE(w.window.logLines().at(2), QStringLiteral("   First PTS = 0001E240"));
        QCOMPARE(w.window.logLines().last(), QStringLiteral("Opening file FEATURE_1.EVO"));

        w.window.bClear->click();
        QCOMPARE(w.window.logLines(), QStringList());
        QCOMPARE(w.window.mMessage->toPlainText(), QString());
        w.window.bClear->click();  // on an empty log: nothing
        QCOMPARE(w.window.logLines(), QStringList());
        w.window.log("");
        QCOMPARE(w.window.logLines(), QStringList(QString()));
    }

    void logScrollsToTheNewLineAndNeverTrims() {
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        for (int n = 0; n < 3000; ++n)
            w.window.log(QStringLiteral("line %1").arg(n).toStdString());
        QCOMPARE(w.window.logLines().size(), 3000);
        QCOMPARE(w.window.logLines().first(), QStringLiteral("line 0"));
        QScrollBar* bar = w.window.mMessage->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());
    }

    // The status line asks for a source only while none is set: a file named on the command
    // line takes the hint away before anything else is shown.
    void theHintShowsOnlyWhileNoSourceIsSet() {
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        QCOMPARE(w.window.panelText(1), QStringLiteral(" Select or drop an EVO file to demux"));
        openFromCommandLine(w.window, {QStringLiteral("/disc/HVDVD_TS/FEATURE_1.EVO")});
        QCOMPARE(w.window.panelText(1), QStringLiteral(" "));
        QCOMPARE(w.window.StatusBar->toolTip(), QString());
    }

    void slogSetsPanelTextWidthAndHint() {
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        QCOMPARE(w.window.panelText(0), QStringLiteral(" Ready"));
        QCOMPARE(w.window.panelWidth(0), 40);
        QCOMPARE(w.window.panelText(1), QStringLiteral(" Select or drop an EVO file to demux"));
        QCOMPARE(w.window.panelWidth(1), 50);

        const QFontMetrics metrics(w.window.StatusBar->font());
        w.window.slog("Reading FEATURE_1.EVO ", Panel::State);
        QCOMPARE(w.window.panelText(0), QStringLiteral(" Reading FEATURE_1.EVO "));
        QCOMPARE(w.window.panelWidth(0),
                 metrics.horizontalAdvance(QStringLiteral(" Reading FEATURE_1.EVO a")));
        QCOMPARE(w.window.findChild<QLabel*>(QStringLiteral("StatusPanel0"))->width(),
                 w.window.panelWidth(0));
        QCOMPARE(w.window.StatusBar->toolTip(),
                 QStringLiteral(" Select or drop an EVO file to demux"));

        w.window.slog("Ready", Panel::State);
        QCOMPARE(w.window.panelText(0), QStringLiteral(" Ready"));
        QCOMPARE(w.window.panelWidth(0), metrics.horizontalAdvance(QStringLiteral(" Readya")));
        QCOMPARE(w.window.StatusBar->toolTip(),
                 QStringLiteral(" Select or drop an EVO file to demux"));

        w.window.slog("12% done", Panel::Progress);
        QCOMPARE(w.window.panelText(1), QStringLiteral(" 12% done"));
        QCOMPARE(w.window.panelWidth(1), metrics.horizontalAdvance(QStringLiteral(" 12% donea")));
        QCOMPARE(w.window.StatusBar->toolTip(), QStringLiteral("12% done"));

        w.window.slog("", Panel::Progress);
        QCOMPARE(w.window.panelText(1), QStringLiteral(" "));
        QCOMPARE(w.window.StatusBar->toolTip(), QString());

        // The last panel reaches the bar's right edge.
        auto* last = w.window.findChild<QLabel*>(QStringLiteral("StatusPanel1"));
        w.window.slog("x", Panel::Progress);
        QVERIFY(last->geometry().right() >= w.window.StatusBar->width() - 30);
    }

    void formReportsLocaleFormats() {
        apptest::WindowUnderTest w;
        QLocale::setDefault(QLocale::c());
        Clock& clock = w.window.clock();
        QCOMPARE(clock.formatLongTime(172800.0 / 24000.0 * 1001.0 / 86400.0),
                 std::string("2:00:07"));
        QCOMPARE(clock.decimalSeparator(), '.');
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(clock.decimalSeparator(), ',');
        QCOMPARE(clock.formatLongTime(0.5), std::string("12:00:00"));
        QLocale::setDefault(QLocale::c());
    }

  private:
    apptest::TemporarySettings settings_;
};

}  // namespace
}  // namespace morvale

QTEST_MAIN(morvale::WindowControlsTest)
#include "window_controls_test.moc"
