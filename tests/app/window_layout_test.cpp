// SPDX-License-Identifier: MIT
// The window's layouts at the sizes a user gives it: captions whole after Read XPL of the
// sample disc, elided with a tooltip only when the window is too narrow, the playlist tree's
// share, nothing cut or overlapping at 370x380, the logo's pictures, and the stored
// placement coming back exactly.

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTabWidget>
#include <QTreeWidget>

#include "app/command_line.h"
#include "app/fitting_widgets.h"
#include "app/jpeg_image.h"
#include "sample_disc/sample_disc.h"
#include "window_test_support.h"

namespace morvale {
namespace {

using apptest::q;

// The sample disc after Read XPL: captions as long as the playlist makes them.
struct SampleDiscWindow {
    testing::TempDir dir;
    apptest::WindowUnderTest w;

    // At the size the window opens at when `outer` is empty.
    bool readPlaylist(QSize outer) {
        sample::writeSampleDisc(dir.path(), {.synthesiseAudio = true});
        if (!w.show()) return false;
        if (outer.isValid()) resizeOuter(outer);
        w.window.WMDropFiles({q(dir.file("HVDVD_TS/FEATURE_1.EVO"))});
        QTest::mouseClick(w.window.bReadXPL, Qt::LeftButton);
        return w.window.logLines().contains(QStringLiteral("Done."));
    }
    void resizeOuter(QSize outer) {
        const QSize frame = w.window.frameGeometry().size() - w.window.size();
        w.window.resize(outer - frame);
        QCoreApplication::processEvents();
    }
};

QList<StreamCheckBox*> shownBoxes(QWidget* page) {
    QList<StreamCheckBox*> boxes;
    for (QCheckBox* box : page->findChildren<QCheckBox*>()) {
        if (!box->isHidden()) boxes << static_cast<StreamCheckBox*>(box);
    }
    return boxes;
}

// Visible children of `parent` that overlap each other.
QStringList overlaps(QWidget* parent) {
    QList<QWidget*> shown;
    for (QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isVisible() && !child->isWindow()) shown << child;
    }
    QStringList found;
    for (int a = 0; a < shown.size(); ++a) {
        for (int b = a + 1; b < shown.size(); ++b) {
            if (shown[a]->geometry().intersects(shown[b]->geometry())) {
                found << shown[a]->objectName() + QLatin1Char('/') + shown[b]->objectName();
            }
        }
    }
    return found;
}

class WindowLayoutTest : public QObject {
    Q_OBJECT

  private slots:
    void init() { settings_.clear(); }

    // A first start (no stored placement) opens where every page shows whole: after Read XPL
    // of the sample disc each page has the room its layout asks for, and the tree shows its
    // items whole beside the playlist text.
    void aFirstStartShowsEveryPageWhole() {
        SampleDiscWindow disc;
        QVERIFY(disc.readPlaylist(QSize()));
        TfMain& window = disc.w.window;
        for (int n = 0; n < window.PageControl->count(); ++n) {
            window.PageControl->setCurrentIndex(n);
            QCoreApplication::processEvents();
            QWidget* page = window.PageControl->widget(n);
            const QSize wanted = page->sizeHint();
            QVERIFY2(wanted.width() <= page->width() && wanted.height() <= page->height(),
                     qPrintable(QStringLiteral("%1 wants %2x%3, has %4x%5")
                                    .arg(page->objectName())
                                    .arg(wanted.width())
                                    .arg(wanted.height())
                                    .arg(page->width())
                                    .arg(page->height())));
        }
        window.showPage(Page::Xpl);
        QCoreApplication::processEvents();
        QCOMPARE(window.tvXPL->horizontalScrollBar()->maximum(), 0);
    }

    // After Read XPL every listed caption shows whole, at the size the window opens at and
    // wide; the pages show only the boxes that can hold a stream.
    void captionsAfterReadXplAreWhole_data() {
        QTest::addColumn<QSize>("outer");
        QTest::newRow("design size") << QSize(370, 380);
        QTest::newRow("wide") << QSize(900, 520);
    }
    void captionsAfterReadXplAreWhole() {
        QFETCH(QSize, outer);
        SampleDiscWindow disc;
        QVERIFY(disc.readPlaylist(outer));
        TfMain& window = disc.w.window;
        QCOMPARE(window.cbAudio02->text(), QStringLiteral("DD.2ch.stream.02.Commentary"));
        const struct {
            Page page;
            QWidget* sheet;
            int shown;
        } pages[] = {{Page::Video, window.tsVideo, 2},
                     {Page::Audio, window.tsAudio, 16},
                     {Page::Subpicture, window.tsSubpicture, 16}};
        for (const auto& page : pages) {
            window.showPage(page.page);
            QCoreApplication::processEvents();
            const QList<StreamCheckBox*> boxes = shownBoxes(page.sheet);
            QCOMPARE(boxes.size(), page.shown);
            for (StreamCheckBox* box : boxes) {
                QVERIFY2(!box->isElided(), qPrintable(box->objectName()));
                QVERIFY(page.sheet->rect().contains(box->geometry()));
            }
        }
        QVERIFY(window.cbVideo2->isHidden() && window.cbVideo7->isHidden());
    }

    // A caption wider than the window is elided; the tooltip then holds it whole above the
    // box's hint, and a wider window shows it whole again.
    void aCaptionTooWideForTheWindowIsElidedWithATooltip() {
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        TfMain& window = w.window;
        const std::string caption = "DD+.6ch.stream.14.Director and composer in conversation";
        const StreamBox box{BoxPage::Audio, 14};
        window.setBoxHint(box, caption);
        window.setBoxCaption(box, caption);
        window.showPage(Page::Audio);
        const struct {
            int width;
            bool elided;
        } cases[] = {{370, true}, {1000, false}, {400, true}};
        auto* shown = static_cast<StreamCheckBox*>(window.cbAudio14);
        for (const auto& c : cases) {
            window.resize(c.width, window.height());
            QCoreApplication::processEvents();
            QCOMPARE(shown->isElided(), c.elided);
            QCOMPARE(shown->toolTip(), q(caption));  // the hint is the caption itself
            QCOMPARE(window.boxCaption(box), caption);
        }
        window.setBoxHint(box, "Commentary|from the playlist");
        QCOMPARE(shown->toolTip(), q(caption) + QStringLiteral("\nCommentary"));
        window.resize(1000, window.height());
        QCoreApplication::processEvents();
        QCOMPARE(shown->toolTip(), QStringLiteral("Commentary"));
    }

    // At the minimum size and wide, nothing outside the pages overlaps, every control lies
    // inside the window and every button's caption fits; with a further command button in
    // the row the logo keeps out of the buttons' way.
    void controlsFitWithoutOverlapping_data() {
        QTest::addColumn<QSize>("outer");
        QTest::addColumn<bool>("extraButton");
        QTest::newRow("370x380") << QSize(370, 380) << false;
        QTest::newRow("wide") << QSize(1000, 600) << false;
        QTest::newRow("370x380, a third command") << QSize(370, 380) << true;
        QTest::newRow("wide, a third command") << QSize(1000, 600) << true;
    }
    void controlsFitWithoutOverlapping() {
        QFETCH(QSize, outer);
        QFETCH(bool, extraButton);
        SampleDiscWindow disc;
        QVERIFY(disc.w.show());
        TfMain& window = disc.w.window;
        if (extraButton) {
            auto* third = new FittingButton(QStringLiteral("Make MKV"), QSize(60, 25), &window);
            third->setObjectName(QStringLiteral("bThird"));
            window.addCommandButton(third);
        }
        disc.resizeOuter(outer);
        QCOMPARE(window.frameGeometry().size(), outer);
        if (extraButton) {
            auto* third = window.findChild<QPushButton*>(QStringLiteral("bThird"));
            QCOMPARE(third->y(), window.bRebuild->y());
            QVERIFY(third->x() > window.bRebuild->x());
        }
        QCOMPARE(overlaps(&window), QStringList());
        for (QPushButton* button : window.findChildren<QPushButton*>()) {
            if (!button->isVisible()) continue;
            const QRect inWindow(button->mapTo(&window, QPoint(0, 0)), button->size());
            QVERIFY2(window.rect().contains(inWindow), qPrintable(button->objectName()));
            QVERIFY(button->width() >= button->fontMetrics().horizontalAdvance(button->text()) + 8);
        }
        for (Page page : {Page::Status, Page::Audio, Page::Xpl, Page::Options}) {
            window.showPage(page);
            QCoreApplication::processEvents();
            QWidget* sheet = window.PageControl->currentWidget();
            for (QWidget* child : sheet->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                if (!child->isVisible()) continue;
                QVERIFY2(sheet->rect().contains(child->geometry()),
                         qPrintable(child->objectName()));
                QVERIFY(child->width() >= child->minimumSizeHint().width());
            }
        }
        if (window.imLogo->isVisible()) {
            QVERIFY(window.imLogo->x() > window.bRebuild->geometry().right());
            QVERIFY(window.imLogo->geometry().right() < window.bCancel->x());
        } else {
            // Beside "Make MKV" (and a further button) a narrow window has no room for it.
            QVERIFY(outer.width() < 500);
        }
    }

    // The tree takes the room its items need, up to half the page, and a share of what a
    // wider window gains.
    void thePlaylistTreeTakesAUsefulShare() {
        SampleDiscWindow disc;
        QVERIFY(disc.readPlaylist(QSize(370, 380)));
        TfMain& window = disc.w.window;
        QCoreApplication::processEvents();
        const int half = (window.splXPL->width() - window.splXPL->handleWidth()) / 2;
        QTreeWidget* tree = window.tvXPL;
        const int atDesign = tree->width();
        QVERIFY2(atDesign >= half - 2, qPrintable(QString::number(atDesign)));
        // What the tree cannot show whole it scrolls to.
        const int widest = tree->header()->sectionSize(0);
        QVERIFY(widest > tree->viewport()->width());
        QCOMPARE(tree->horizontalScrollBar()->maximum(), widest - tree->viewport()->width());
        disc.resizeOuter(QSize(1000, 600));
        const int wide = window.tvXPL->width();
        QVERIFY(wide > atDesign + 100);
        QVERIFY(wide >= window.tvXPL->header()->sectionSize(0));
        QVERIFY(window.tvXPL->isExpanded(window.tvXPL->model()->index(2, 0)));  // Audio
        QCOMPARE(window.treeWidth(), wide);
    }

    // The logo is drawn from a picture at least as large as the device pixels it fills:
    // the 1x picture at 1x, the 2x one (scaled down for 1.5x) above, never one blown up.
    void theLogoIsSharpAtEachScale_data() {
        QTest::addColumn<double>("ratio");
        QTest::addColumn<QSize>("device");
        QTest::newRow("1x") << 1.0 << QSize(125, 31);
        QTest::newRow("1.5x") << 1.5 << QSize(188, 47);
        QTest::newRow("2x") << 2.0 << QSize(250, 62);
    }
    void theLogoIsSharpAtEachScale() {
        QFETCH(double, ratio);
        QFETCH(QSize, device);
        const QPixmap logo = logoPixmap(QSize(125, 31), ratio);
        QCOMPARE(logo.size(), device);
        QCOMPARE(logo.devicePixelRatio(), ratio);
        QVERIFY(qAbs(logo.deviceIndependentSize().width() - 125) < 1);
        const QImage large = withTransparentBackground(decodeJpeg(kLogo2xJpeg, kLogo2xJpegSize));
        QCOMPARE(large.size(), QSize(250, 62));
        const QImage source = ratio > 1 ? large : logoPicture();
        constexpr QImage::Format kDrawn = QImage::Format_ARGB32_Premultiplied;
        const QImage expected =
            source.scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                .convertToFormat(kDrawn);
        const QImage drawn = logo.toImage().convertToFormat(kDrawn);
        QVERIFY(drawn == expected);
        QCOMPARE(qAlpha(drawn.pixel(0, drawn.height() - 1)), 0);
    }

    // The stored outer placement comes back exactly at every start, also when a file on the
    // command line makes the settings be read before the window manager has framed the
    // window; so nothing drifts from start to start.
    void theStoredPlacementComesBackExactly_data() {
        QTest::addColumn<bool>("withFile");
        QTest::addColumn<bool>("beforeFraming");
        QTest::newRow("no file") << false << false;
        QTest::newRow("file, framed first") << true << false;
        QTest::newRow("file, settings first") << true << true;
    }
    void theStoredPlacementComesBackExactly() {
        QFETCH(bool, withFile);
        QFETCH(bool, beforeFraming);
        const QRect stored(200, 150, 700, 600);
        {
            auto store = settings_.open();
            store->setValue("Left", stored.x());
            store->setValue("Top", stored.y());
            store->setValue("Width", stored.width());
            store->setValue("Height", stored.height());
        }
        const QStringList files = {QStringLiteral("/disc/HVDVD_TS/FEATURE_1.EVO")};
        for (int start = 0; start < 3; ++start) {
            apptest::WindowUnderTest w;
            if (beforeFraming) openFromCommandLine(w.window, files);
            w.window.show();
            if (withFile && !beforeFraming) openFromCommandLine(w.window, files);
            QVERIFY(QTest::qWaitForWindowExposed(&w.window));
            QTRY_COMPARE(w.window.frameGeometry(), stored);
            QCOMPARE(w.window.eEVOfile->text(), withFile ? files.first() : QString());
            QVERIFY(w.window.close());
            auto store = settings_.open();
            QCOMPARE(QRect(store->value("Left").toInt(), store->value("Top").toInt(),
                           store->value("Width").toInt(), store->value("Height").toInt()),
                     stored);
        }
    }

  private:
    apptest::TemporarySettings settings_;
};

}  // namespace
}  // namespace morvale

QTEST_MAIN(morvale::WindowLayoutTest)
#include "window_layout_test.moc"
