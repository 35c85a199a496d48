// SPDX-License-Identifier: MIT
// The commands through the window's real buttons, end to end on built files: Read EVO,
// Demux over a two-part feature, Cancel with its question, the locked controls during a
// run, the error box, Read XPL and Rebuild.

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>

#include <sys/stat.h>

#include "support/example_playlist.h"
#include "support/feature_disc.h"
#include "window_test_support.h"

namespace morvale {
namespace {

using testing::Bytes;
using testing::FeaturePart;

using apptest::q;

constexpr uint64_t kMiB = 0x100000;

QString ptsLine(uint32_t value) {
    return QString::asprintf("   First PTS = %08X", value);
}

// What the window shows while a command runs, seen from its event pump.
struct RunView {
    bool anyCommandEnabled = true;
    bool anyBoxEnabled = true;
    bool cancelEnabled = false;
};

RunView viewOf(const TfMain& window) {
    RunView view;
    view.anyCommandEnabled = false;
    for (QPushButton* button : {window.bCheck, window.bReadXPL, window.bDemux, window.bRebuild,
                                window.bbEVO, window.bbXPL})
        view.anyCommandEnabled = view.anyCommandEnabled || button->isEnabled();
    view.anyBoxEnabled = false;
    for (QCheckBox* box : window.findChildren<QCheckBox*>()) {
        if (box->objectName().startsWith(QStringLiteral("cbVideo")) ||
            box->objectName().startsWith(QStringLiteral("cbAudio")) ||
            box->objectName().startsWith(QStringLiteral("cbSub")))
            view.anyBoxEnabled = view.anyBoxEnabled || box->isEnabled();
    }
    view.cancelEnabled = window.bCancel->isEnabled();
    return view;
}

class CommandButtonsTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        settings_.clear();
        dir_ = std::make_unique<testing::TempDir>();
        first_ = testing::featurePart({});
        second_ = testing::featurePart({.secondAudio = true, .basePts = 800000, .seed = 9});
    }

    void readEvoListsTheStreamsOfBothParts() {
        writeFeature(true);
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        TfMain& window = w.window;
        choose(window, "FEATURE_1.EVO");
        QTest::mouseClick(window.bCheck, Qt::LeftButton);

        QStringList expected = {QStringLiteral("Opening file FEATURE_1.EVO"),
                                QStringLiteral("File size: 1 Mbytes.")};
        expected << partLines(first_, false) << QStringLiteral("Continue on FEATURE_2.EVO")
                 << partLines(second_, true) << QStringLiteral("Done.") << QString()
                 << QStringLiteral("24 frames (0:00:01 s) count in video stream 0.") << QString();
        QCOMPARE(window.logLines(), expected);

        for (QCheckBox* box :
             {window.cbVideo0, window.cbAudio00, window.cbAudio01, window.cbSub00}) {
            QVERIFY2(box->isEnabled() && box->isChecked(), qPrintable(box->objectName()));
        }
        QCOMPARE(window.cbVideo0->text(), QStringLiteral("VC-1.stream.0"));
        QCOMPARE(window.cbAudio00->text(), QStringLiteral("DD+.stream.00"));
        QCOMPARE(window.cbAudio01->text(), QStringLiteral("DD+.stream.01"));
        QCOMPARE(window.cbSub00->text(), QStringLiteral("Subpicture.00"));
        QVERIFY(!window.cbVideo1->isEnabled() && !window.cbVideo1->isChecked());
        QCOMPARE(window.cbVideo1->text(), QStringLiteral("No video stream"));
        QCOMPARE(window.cbAudio02->text(), QStringLiteral("No audio stream"));
        QVERIFY(window.bCheck->isEnabled());
        QVERIFY(window.bDemux->isEnabled());
        QVERIFY(window.bRebuild->isEnabled());
        QVERIFY(!window.bCancel->isEnabled());
        QCOMPARE(window.panelText(0), QStringLiteral(" Ready"));
        QCOMPARE(window.PageControl->currentIndex(), 0);
    }

    void demuxWritesBothPartsIntoOutputsNamedWithTheSecondPart() {
        writeFeature(true);
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        TfMain& window = w.window;
        choose(window, "FEATURE_1.EVO");
        QTest::mouseClick(window.bCheck, Qt::LeftButton);
        window.showPage(Page::Audio);
        QTest::mouseClick(window.cbAudio01, Qt::LeftButton);  // untick DD+.stream.01
        QVERIFY(!window.cbAudio01->isChecked());
        QTest::mouseClick(window.bClear, Qt::LeftButton);
        QTest::mouseClick(window.bDemux, Qt::LeftButton);

        const QString base = q(out()) + QStringLiteral("/FEATURE_1_2.");
        QCOMPARE(
            window.logLines(),
            QStringList({QStringLiteral("Opening file FEATURE_1.EVO"),
                         QStringLiteral("File size: 1 Mbytes."),
                         QStringLiteral("Creating ") + base + QStringLiteral("VC-1.stream.0.mpv"),
                         QStringLiteral("Creating ") + base + QStringLiteral("DD+.stream.00.mpa"),
                         QStringLiteral("Creating ") + base + QStringLiteral("Subpicture.00.sup"),
                         QStringLiteral("Continue on FEATURE_2.EVO"), QStringLiteral("Done."),
                         QString(),
                         QStringLiteral("24 frames (0:00:01 s) count in video stream 0.")}));
        const std::string b = base.toStdString();
        QVERIFY(testing::readFileBytes(b + "VC-1.stream.0.mpv") ==
                testing::concat({first_.video, second_.video}));
        QVERIFY(testing::readFileBytes(b + "DD+.stream.00.mpa") ==
                testing::concat({first_.audio0, second_.audio0}));
        const Bytes subpictures = testing::readFileBytes(b + "Subpicture.00.sup");
        QVERIFY(subpictures == testing::concat({testing::subpictureRecord(first_, 800000),
                                                testing::subpictureRecord(second_, 800000)}));
        // The first record's header: "SP", 0x0001B6A0 little-endian, four zero bytes.
        QVERIFY((Bytes(subpictures.begin(), subpictures.begin() + 10) ==
                 Bytes{0x53, 0x50, 0xA0, 0xB6, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00}));
        struct stat st {};
        QVERIFY(::stat((b + "DD+.stream.01.mpa").c_str(), &st) != 0);
        QVERIFY(window.bDemux->isEnabled());
        QVERIFY(window.bRebuild->isEnabled());
        QVERIFY(!window.bCancel->isEnabled());
    }

    void aLowerCaseSourceNeverContinues() {
        testing::writePart(dir_->file("feature_1.evo"), first_, kMiB);
        testing::writePart(dir_->file("feature_2.EVO"), second_, kMiB);
        testing::writePart(dir_->file("FEATURE_2.EVO"), second_, kMiB);
        ::mkdir(out().c_str(), 0755);
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        TfMain& window = w.window;
        choose(window, "feature_1.evo");
        QTest::mouseClick(window.bCheck, Qt::LeftButton);
        QVERIFY(!window.logLines().join(QLatin1Char('\n')).contains(QStringLiteral("Continue on")));
        QVERIFY(!window.cbAudio01->isEnabled());
        QTest::mouseClick(window.bDemux, Qt::LeftButton);
        QVERIFY(!window.logLines().join(QLatin1Char('\n')).contains(QStringLiteral("Continue on")));
        QVERIFY(window.logLines().contains(QStringLiteral("Creating ") + q(out()) +
                                           QStringLiteral("/feature_1.VC-1.stream.0.mpv")));
        QVERIFY(testing::readFileBytes(out() + "/feature_1.VC-1.stream.0.mpv") == first_.video);
    }

    // Cancel during a Demux asks first: No lets the run go on to the next progress point,
    // Yes stops it there. Meanwhile only Cancel is usable.
    void cancelAnsweredNoThenYes() {
        writeFeature(true, 16 * kMiB);
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        TfMain& window = w.window;
        choose(window, "FEATURE_1.EVO");
        window.cbFastCheck->setChecked(false);
        QTest::mouseClick(window.bCheck, Qt::LeftButton);
        QTest::mouseClick(window.bClear, Qt::LeftButton);

        QStringList titles, texts, progressAtClick;
        bool noIsDefault = true;
        QList<RunView> views;
        bool busy = false;
        QTimer pump;  // fires from the run's event pump
        pump.setInterval(0);
        connect(&pump, &QTimer::timeout, &window, [&] {
            if (busy || !window.locked() || QApplication::activeModalWidget() != nullptr) return;
            if (progressAtClick.size() == 2) return;
            busy = true;
            views << viewOf(window);
            progressAtClick << window.panelText(1);
            const auto answer = progressAtClick.size() == 1 ? QMessageBox::No : QMessageBox::Yes;
            apptest::onNextMessageBox([&, answer](QMessageBox* box) {
                titles << box->windowTitle();
                texts << box->text();
                noIsDefault = noIsDefault && box->defaultButton() == box->button(QMessageBox::No);
                box->button(answer)->click();
            });
            QTest::mouseClick(window.bCancel, Qt::LeftButton);
            busy = false;
        });
        pump.start();
        QTest::mouseClick(window.bDemux, Qt::LeftButton);
        pump.stop();

        QCOMPARE(titles, QStringList({QStringLiteral("Confirm"), QStringLiteral("Confirm")}));
        QCOMPARE(texts, QStringList(2, QStringLiteral("Are you sure to stop demuxing?")));
        QVERIFY(noIsDefault);
        // No let the run reach a later progress point; Yes stopped it before the end.
        QCOMPARE(progressAtClick.size(), 2);
        QVERIFY(progressAtClick[0] != progressAtClick[1]);
        QVERIFY(progressAtClick[1].startsWith(QStringLiteral(" 8/16 Mbytes")));
        for (const RunView& view : views) {
            QVERIFY(!view.anyCommandEnabled);
            QVERIFY(!view.anyBoxEnabled);
            QVERIFY(view.cancelEnabled);
        }
        const QStringList log = window.logLines();
        QVERIFY(!log.contains(QStringLiteral("Continue on FEATURE_2.EVO")));
        QCOMPARE(log.mid(log.size() - 2), QStringList({QStringLiteral("Done."), QString()}));
        QVERIFY(testing::readFileBytes(out() + "/FEATURE_1_2.VC-1.stream.0.mpv") == first_.video);
        // The run is over: the controls are back.
        QVERIFY(!window.bCancel->isEnabled());
        QVERIFY(window.bDemux->isEnabled() && window.bRebuild->isEnabled());
        QVERIFY(window.bCheck->isEnabled() && window.bbEVO->isEnabled());
        QVERIFY(window.cbVideo0->isEnabled() && window.cbVideo0->isChecked());
    }

    void cancelDuringAScanAsksNothing() {
        writeFeature(true, 16 * kMiB);
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        TfMain& window = w.window;
        choose(window, "FEATURE_1.EVO");
        window.cbFastCheck->setChecked(false);
        int clicks = 0;
        bool modalSeen = false;
        QTimer pump;
        pump.setInterval(0);
        connect(&pump, &QTimer::timeout, &window, [&] {
            if (!window.locked() || clicks > 0) return;
            ++clicks;
            QTest::mouseClick(window.bCancel, Qt::LeftButton);
            modalSeen = QApplication::activeModalWidget() != nullptr;
        });
        pump.start();
        QTest::mouseClick(window.bCheck, Qt::LeftButton);
        pump.stop();
        QCOMPARE(clicks, 1);
        QVERIFY(!modalSeen);
        const QStringList log = window.logLines();
        QVERIFY(!log.contains(QStringLiteral("Continue on FEATURE_2.EVO")));
        QCOMPARE(log.mid(log.size() - 2), QStringList({QStringLiteral("Done."), QString()}));
    }

    // Closing the window during a Demux asks like Cancel; on Yes the run ends as cancelled
    // and the window closes once the command has returned.
    void closingDuringADemuxStopsItThenCloses() {
        writeFeature(true, 16 * kMiB);
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        TfMain& window = w.window;
        choose(window, "FEATURE_1.EVO");
        QTest::mouseClick(window.bCheck, Qt::LeftButton);
        QTest::mouseClick(window.bClear, Qt::LeftButton);
        QString question;
        bool asked = false;
        QTimer pump;
        pump.setInterval(0);
        connect(&pump, &QTimer::timeout, &window, [&] {
            if (asked || !window.locked()) return;
            asked = true;
            apptest::onNextMessageBox([&](QMessageBox* box) {
                question = box->text();
                box->button(QMessageBox::Yes)->click();
            });
            window.close();
            QVERIFY(window.isVisible());  // not while the command runs
        });
        pump.start();
        QTest::mouseClick(window.bDemux, Qt::LeftButton);
        pump.stop();
        QCOMPARE(question, QStringLiteral("Are you sure to stop demuxing?"));
        const QStringList log = window.logLines();
        QCOMPARE(log.mid(log.size() - 2), QStringList({QStringLiteral("Done."), QString()}));
        QVERIFY(!log.contains(QStringLiteral("Continue on FEATURE_2.EVO")));
        QVERIFY(testing::readFileBytes(out() + "/FEATURE_1_2.VC-1.stream.0.mpv") == first_.video);
        QVERIFY(!window.isVisible());
        QVERIFY(QFile::exists(settings_.file()));
    }

    void aSourceThatCannotBeOpenedShowsTheErrorBox() {
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        TfMain& window = w.window;
        choose(window, "MISSING.EVO");
        QString title, text;
        apptest::onNextMessageBox([&](QMessageBox* box) {
            title = box->windowTitle();
            text = box->text();
            box->accept();
        });
        QTest::mouseClick(window.bCheck, Qt::LeftButton);
        QCOMPARE(text, QStringLiteral("Cannot open file \"") + q(dir_->file("MISSING.EVO")) +
                           QStringLiteral("\". No such file or directory"));
        QCOMPARE(window.logLines(),
                 QStringList({QStringLiteral("Opening file MISSING.EVO"), text, QString()}));
        QCOMPARE(window.panelText(0), QStringLiteral(" Ready"));
        QVERIFY(!window.bCheck->isEnabled());
        QVERIFY(!window.bDemux->isEnabled());
        QVERIFY(!window.bCancel->isEnabled());
        QVERIFY(window.bbEVO->isEnabled());
    }

    // Read XPL through its button: the outline memo, the tree, the ticked boxes.
    void readXplFillsThePlaylistPage() {
        QDir(q(dir_->path())).mkpath(QStringLiteral("HVDVD_TS"));
        QDir(q(dir_->path())).mkpath(QStringLiteral("ADV_OBJ"));
        const std::string playlist = kPlaylist;
        testing::writeFileBytes(dir_->file("ADV_OBJ/VPLST000.XPL"),
                                Bytes(playlist.begin(), playlist.end()));
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        TfMain& window = w.window;
        QVERIFY(apptest::dropFiles(&window, {q(dir_->file("HVDVD_TS/FEATURE_1.EVO"))}));
        QCOMPARE(window.eXPLfile->text(), q(dir_->file("ADV_OBJ/VPLST000.XPL")));
        QVERIFY(window.bReadXPL->isEnabled());
        QTest::mouseClick(window.bReadXPL, Qt::LeftButton);

        QCOMPARE(window.PageControl->currentIndex(), 4);
        QVERIFY(window.mXPL->isVisible());
        // The disc's titles, for Make MKV to choose from.
        QVERIFY(window.lbTitles->isVisible());
        QCOMPARE(window.lbTitles->count(), 1);
        QVERIFY2(window.lbTitles->item(0)->text().startsWith(QStringLiteral("1. Main  1:40:")),
                 qPrintable(window.lbTitles->item(0)->text()));
        const QStringList outline = window.mXPL->toPlainText().split(QLatin1Char('\n'));
        QCOMPARE(outline.size(), 9);
        QCOMPARE(outline.first(),
                 QStringLiteral(
                     "    <Title id=\"T1\" displayName=\"Main\" titleDuration=\"01:40:00:00\">"));
        QCOMPARE(outline.last(), QStringLiteral("    </Title>"));
        QStringList tree;
        for (int i = 0; i < window.tvXPL->topLevelItemCount(); ++i) {
            QTreeWidgetItem* item = window.tvXPL->topLevelItem(i);
            tree << item->text(0);
            for (int c = 0; c < item->childCount(); ++c)
                tree << QStringLiteral("  ") + item->child(c)->text(0);
        }
        QCOMPARE(tree,
                 QStringList({"Info", "  Title: Disc", "  Name: Main", "  Duration: 01:40:00:00",
                              "Video", "  VC-1.stream.0", "Audio", "  DD+.6ch.stream.01.English",
                              "Subtitle", "Chapter", "  00:00:00:00: Start"}));
        QCOMPARE(window.cbVideo0->text(), QStringLiteral("VC-1.stream.0"));
        QVERIFY(window.cbVideo0->isChecked() && window.cbVideo0->isEnabled());
        QCOMPARE(window.cbAudio01->text(), QStringLiteral("DD+.6ch.stream.01.English"));
        QCOMPARE(window.cbAudio01->toolTip(), QStringLiteral("DD+.6ch.stream.01.English"));
        const QStringList log = window.logLines();
        QCOMPARE(log.mid(log.size() - 4),
                 QStringList({QStringLiteral("VC-1.stream.0 found!"),
                              QStringLiteral("DD+.6ch.stream.01.English found!"),
                              QStringLiteral("Done."), QString()}));
        QVERIFY(window.bReadXPL->isEnabled());
        // The playlist's ticks alone write nothing: Demux and Make MKV wait for a Read EVO.
        QVERIFY(!window.bDemux->isEnabled());
        QVERIFY(!window.bMakeMkv->isEnabled());
    }

    // Rebuild through its button after a scan, with the subpicture unticked.
    void rebuildWritesTheCopy() {
        writeFeature(false);
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        TfMain& window = w.window;
        choose(window, "FEATURE_1.EVO");
        QTest::mouseClick(window.bCheck, Qt::LeftButton);
        window.showPage(Page::Subpicture);
        QTest::mouseClick(window.cbSub00, Qt::LeftButton);
        QVERIFY(!window.cbSub00->isChecked());
        QVERIFY(window.bRebuild->isEnabled());
        QTest::mouseClick(window.bClear, Qt::LeftButton);
        QTest::mouseClick(window.bRebuild, Qt::LeftButton);

        const std::string rebuilt = out() + "/FEATURE_1.rebuilt.EVO";
        QCOMPARE(window.logLines(), QStringList({QStringLiteral("Opening file FEATURE_1.EVO"),
                                                 QStringLiteral("File size: 1 Mbytes."),
                                                 QStringLiteral("Creating ") + q(rebuilt),
                                                 QStringLiteral("Done."), QString()}));
        // Every pack of the source but the two subpicture packs, unchanged (the kept streams
        // are the first of their kinds); the end code and the zeros after it are no pack.
        Bytes expected;
        const Bytes& source = first_.bytes;
        for (size_t at = 0; at + 2048 <= source.size(); at += 2048) {
            const uint8_t* pack = source.data() + at;
            const bool subpicture = pack[17] == 0xBD && pack[23 + pack[22]] == 0x20;
            if (!subpicture) expected.insert(expected.end(), pack, pack + 2048);
        }
        QCOMPARE(expected.size(), (source.size() / 2048 - 2) * 2048);
        QVERIFY(testing::readFileBytes(rebuilt) == expected);
        QVERIFY(window.bDemux->isEnabled() && window.bRebuild->isEnabled());
    }

  private:
    std::string out() const { return dir_->file("out"); }

    void writeFeature(bool withSecondPart, uint64_t size = kMiB) {
        testing::writePart(dir_->file("FEATURE_1.EVO"), first_, size);
        if (withSecondPart) testing::writePart(dir_->file("FEATURE_2.EVO"), second_, kMiB);
        ::mkdir(out().c_str(), 0755);
    }

    // The source dropped on the window, the output folder typed into its edit.
    void choose(TfMain& window, const std::string& name) {
        QVERIFY(apptest::dropFiles(&window, {q(dir_->file(name))}));
        window.eWorkdir->setText(q(out()));
    }

    static QStringList partLines(const FeaturePart& part, bool secondAudio) {
        QStringList lines = {secondAudio
                                 ? QStringLiteral("It contains 1 video stream and 2 audio streams.")
                                 : QStringLiteral("It contains 1 video stream and 1 audio stream."),
                             QStringLiteral("VC-1 video stream 0 found!"), ptsLine(part.firstPts),
                             QStringLiteral("Dolby Digital Plus audio stream 0 found!"),
                             ptsLine(part.firstPts + 0x100)};
        if (secondAudio) {
            lines << QStringLiteral("Dolby Digital Plus audio stream 1 found!")
                  << ptsLine(part.firstPts + 0x200);
        }
        lines << QStringLiteral("Subpicture stream 0 found!") << ptsLine(part.subpicturePts);
        return lines;
    }

    static constexpr const char* kPlaylist = testing::kExamplePlaylist;

    apptest::TemporarySettings settings_;
    std::unique_ptr<testing::TempDir> dir_;
    FeaturePart first_;
    FeaturePart second_;
};

}  // namespace
}  // namespace morvale

QTEST_MAIN(morvale::CommandButtonsTest)
#include "command_buttons_test.moc"
