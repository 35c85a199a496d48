// SPDX-License-Identifier: MIT
// Choosing the source and the playlist through the window: the file dialogs, files dropped
// on the window, and the stream boxes that follow a scan.

#include <QCheckBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>

#include "controls/stream_boxes.h"
#include "window_test_support.h"

namespace morvale {
namespace {

constexpr StreamBox kVideo0{BoxPage::Video, 0};
constexpr StreamBox kAudio01{BoxPage::Audio, 1};
constexpr StreamBox kSub00{BoxPage::Subpicture, 0};

// A disc image in a temporary folder: HVDVD_TS/FEATURE_1.EVO and ADV_OBJ/VPLST000.XPL.
struct Disc {
    testing::TempDir dir;
    QString root = QString::fromStdString(dir.path());
    QString video = root + QStringLiteral("HVDVD_TS/");
    QString playlistFolder = root + QStringLiteral("ADV_OBJ/");
    QString source = video + QStringLiteral("FEATURE_1.EVO");
    QString playlist = playlistFolder + QStringLiteral("VPLST000.XPL");

    Disc() {
        QDir().mkpath(video);
        QDir().mkpath(playlistFolder);
        testing::writeFileBytes(source.toStdString(), {0x00, 0x00, 0x01, 0xBA});
        testing::writeFileBytes(playlist.toStdString(), {'<', '/', '>'});
    }
};

// What the selection looks like, to show that a cancelled dialog or an ignored drop
// changed nothing.
struct Snapshot {
    QString evoFile, xplFile;
    std::string sourceFileName, sourceBaseName, evoFolder, xplFolder, xplFileName;
    bool check, readXpl, demux, rebuild;

    static Snapshot of(TfMain& window) {
        const Selection& s = window.session().selection;
        return {window.eEVOfile->text(),
                window.eXPLfile->text(),
                s.sourceFileName,
                s.sourceBaseName,
                s.evoFolder,
                s.xplFolder,
                s.xplFileName,
                window.isEnabled(Button::Check),
                window.isEnabled(Button::ReadXpl),
                window.isEnabled(Button::Demux),
                window.isEnabled(Button::Rebuild)};
    }
    bool operator==(const Snapshot&) const = default;
};

// Finds the dialog shown, checks where it opened, and picks `file` or cancels (empty).
void answerDialog(const QString& file, QString* openedIn = nullptr, QString* title = nullptr) {
    apptest::onNextModal([=](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (dialog == nullptr) {
            modal->close();
            return;
        }
        if (openedIn) *openedIn = dialog->directory().absolutePath();
        if (title) *title = dialog->windowTitle();
        if (file.isEmpty()) {
            dialog->reject();
        } else {
            // As the user would: the path typed into the file name box, then "Open".
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            if (name != nullptr) name->setText(file);
            static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept, which checks the file
        }
    });
}

class SourceSelectionTest : public QObject {
    Q_OBJECT

  private slots:
    void init() { settings_.clear(); }

    void choosingTheSourceDerivesThePlaylistOnTheDisc() {
        Disc disc;
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        w.window.session().selection.evoFolder = disc.video.toStdString();
        QString openedIn, title;
        answerDialog(disc.source, &openedIn, &title);
        QTest::mouseClick(w.window.bbEVO, Qt::LeftButton);

        QCOMPARE(title, QStringLiteral("Choose the EVO file to demux"));
        QCOMPARE(openedIn + QLatin1Char('/'), disc.video);
        QCOMPARE(w.window.eEVOfile->text(), disc.source);
        const Selection& s = w.window.session().selection;
        QCOMPARE(s.sourceFileName, std::string("FEATURE_1.EVO"));
        QCOMPARE(s.sourceBaseName, std::string("FEATURE_1"));
        QCOMPARE(QString::fromStdString(s.evoFolder), disc.video);
        QCOMPARE(QString::fromStdString(s.xplFolder), disc.playlistFolder);
        QCOMPARE(s.xplFileName, std::string("VPLST000.XPL"));
        QCOMPARE(w.window.eXPLfile->text(), disc.playlist);
        QVERIFY(w.window.bCheck->isEnabled());
        QVERIFY(w.window.bReadXPL->isEnabled());
        QCOMPARE(w.window.focusWidget(), w.window.bCheck);

        // The playlist dialog now opens in ADV_OBJ with the playlist's name preset.
        QString playlistOpenedIn;
        answerDialog(QString(), &playlistOpenedIn);
        QTest::mouseClick(w.window.bbXPL, Qt::LeftButton);
        QCOMPARE(playlistOpenedIn + QLatin1Char('/'), disc.playlistFolder);
    }

    // The source dialog offers both types at once, each apart and any file; it opens in the
    // source's folder on the filter of the source's type with the source chosen, so the file
    // the window reads is listed whatever the case of its extension.
    void theSourceDialogOpensOnTheSourcesFolderAndType_data() {
        QTest::addColumn<QString>("source");  // in the disc's video folder; empty: none chosen
        QTest::addColumn<QString>("filter");
        QTest::newRow("no source") << "" << "EVO and VOB files (*.evo *.EVO *.vob *.VOB)";
        QTest::newRow("VOB") << "VTS_01_1.VOB" << "VOB files (DVD) (*.vob *.VOB)";
        QTest::newRow("lower-case evo") << "movie.evo" << "EVOB files (HD DVD) (*.evo *.EVO)";
    }
    void theSourceDialogOpensOnTheSourcesFolderAndType() {
        QFETCH(QString, source);
        QFETCH(QString, filter);
        Disc disc;
        for (const char* name : {"VTS_01_1.VOB", "movie.evo", "notes.txt"})
            testing::writeFileBytes((disc.video + QLatin1String(name)).toStdString(), {0});
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        w.window.session().selection.evoFolder = disc.video.toStdString();
        if (!source.isEmpty()) QVERIFY(apptest::dropFiles(&w.window, {disc.video + source}));
        QStringList filters, chosen;
        QString shownFilter, openedIn;
        apptest::onNextModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            if (dialog != nullptr) {
                filters = dialog->nameFilters();
                shownFilter = dialog->selectedNameFilter();
                openedIn = dialog->directory().absolutePath() + QLatin1Char('/');
                chosen = dialog->selectedFiles();
            }
            modal->close();
        });
        QTest::mouseClick(w.window.bbEVO, Qt::LeftButton);
        QCOMPARE(filters.size(), 4);
        QCOMPARE(filters.first(), QStringLiteral("EVO and VOB files (*.evo *.EVO *.vob *.VOB)"));
        QCOMPARE(filters.last(), QStringLiteral("All files (*)"));
        QCOMPARE(shownFilter, filter);
        QCOMPARE(openedIn, disc.video);
        if (!source.isEmpty()) QCOMPARE(chosen, QStringList{disc.video + source});
        QCOMPARE(w.window.eEVOfile->text(), source.isEmpty() ? QString() : disc.video + source);
    }

    void windowsPathsFollowTheSameRules() {
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        w.window.eEVOfile->setText(QStringLiteral("D:\\HVDVD_TS\\FEATURE_1.EVO"));
        w.window.EVOadj();
        QCOMPARE(w.window.eXPLfile->text(), QStringLiteral("D:\\ADV_OBJ\\VPLST000.XPL"));
        QCOMPARE(w.window.session().selection.evoFolder, std::string("D:\\HVDVD_TS\\"));
        QVERIFY(w.window.bReadXPL->isEnabled());

        // A folder named in lower case is not the disc's.
        apptest::WindowUnderTest other;
        QVERIFY(other.show());
        other.window.eEVOfile->setText(QStringLiteral("D:\\hvdvd_ts\\FEATURE_1.EVO"));
        other.window.EVOadj();
        QCOMPARE(other.window.eXPLfile->text(), QString());
        QVERIFY(!other.window.bReadXPL->isEnabled());
        QVERIFY(other.window.bCheck->isEnabled());

        other.window.eXPLfile->setText(QStringLiteral("D:\\ADV_OBJ\\VPLST000.XPL"));
        other.window.XPLadj();
        QCOMPARE(other.window.session().selection.evoFolder, std::string("D:\\HVDVD_TS\\"));
        QCOMPARE(other.window.eEVOfile->text(), QStringLiteral("D:\\hvdvd_ts\\FEATURE_1.EVO"));
    }

    // A source outside a HVDVD_TS folder leaves the playlist field as it was: empty at
    // first, and afterwards the disc's playlist, which Read XPL then reads.
    void sourceOutsideTheDiscKeepsReadXplAsItWas() {
        Disc disc;
        const QString clip = disc.root + QStringLiteral("clip.evo");
        testing::writeFileBytes(clip.toStdString(), {0});
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        answerDialog(clip);
        QTest::mouseClick(w.window.bbEVO, Qt::LeftButton);
        QCOMPARE(w.window.eEVOfile->text(), clip);
        QCOMPARE(w.window.eXPLfile->text(), QString());
        QVERIFY(!w.window.bReadXPL->isEnabled());
        QVERIFY(w.window.bCheck->isEnabled());

        QVERIFY(apptest::dropFiles(&w.window, {disc.source}));
        QVERIFY(apptest::dropFiles(&w.window, {clip}));
        QCOMPARE(w.window.eXPLfile->text(), disc.playlist);
        QCOMPARE(apptest::q(w.window.session().selection.xplFolder), disc.playlistFolder);
        QVERIFY(w.window.bReadXPL->isEnabled());
        QPointer<QTimer> noError = apptest::onNextMessageBox([](QMessageBox* box) {
            QFAIL(qPrintable(box->text()));
            box->close();
        });
        QTest::mouseClick(w.window.bReadXPL, Qt::LeftButton);
        delete noError;
        QVERIFY(w.window.logLines().contains(QStringLiteral("Filesize: 3 bytes")));
    }

    void choosingThePlaylistPointsTheEvoDialogAtTheVideoFolder() {
        Disc disc;
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        QString title;
        answerDialog(disc.playlist, nullptr, &title);
        QTest::mouseClick(w.window.bbXPL, Qt::LeftButton);
        QCOMPARE(w.window.eXPLfile->text(), disc.playlist);
        QCOMPARE(QString::fromStdString(w.window.session().selection.xplFolder),
                 disc.playlistFolder);
        QCOMPARE(QString::fromStdString(w.window.session().selection.evoFolder), disc.video);
        QCOMPARE(w.window.eEVOfile->text(), QString());
        QVERIFY(w.window.bReadXPL->isEnabled());
        QVERIFY(!w.window.bCheck->isEnabled());

        QString openedIn;
        answerDialog(QString(), &openedIn);
        QTest::mouseClick(w.window.bbEVO, Qt::LeftButton);
        QCOMPARE(openedIn + QLatin1Char('/'), disc.video);
    }

    void cancelledDialogsChangeNothing() {
        Disc disc;
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        answerDialog(disc.source);
        QTest::mouseClick(w.window.bbEVO, Qt::LeftButton);
        const Snapshot before = Snapshot::of(w.window);

        answerDialog(QString());
        QTest::mouseClick(w.window.bbEVO, Qt::LeftButton);
        QVERIFY(Snapshot::of(w.window) == before);

        answerDialog(QString());
        QTest::mouseClick(w.window.bbXPL, Qt::LeftButton);
        QVERIFY(Snapshot::of(w.window) == before);
    }

    void aDropAnywhereSelectsTheSource() {
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        // Dropped on the extension edit of the Options page: the window takes it.
        w.window.showPage(Page::Options);
        QVERIFY(
            apptest::dropFiles(w.window.eVideoExt, {QStringLiteral("/disc/HVDVD_TS/movie.Vob")}));
        QCOMPARE(w.window.eEVOfile->text(), QStringLiteral("/disc/HVDVD_TS/movie.Vob"));
        QCOMPARE(w.window.eVideoExt->text(), QStringLiteral("mpv"));
        QCOMPARE(w.window.session().selection.sourceBaseName, std::string("movie"));
        QCOMPARE(w.window.eXPLfile->text(), QStringLiteral("/disc/ADV_OBJ/VPLST000.XPL"));
        QVERIFY(w.window.bCheck->isEnabled());

        QVERIFY(
            apptest::dropFiles(w.window.eXPLfile, {QStringLiteral("/other/ADV_OBJ/vplst000.xpl")}));
        QCOMPARE(w.window.eXPLfile->text(), QStringLiteral("/other/ADV_OBJ/vplst000.xpl"));
        QCOMPARE(w.window.session().selection.evoFolder, std::string("/other/HVDVD_TS/"));
        QCOMPARE(w.window.eEVOfile->text(), QStringLiteral("/disc/HVDVD_TS/movie.Vob"));
    }

    void onlyTheFirstDroppedFileCounts() {
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        QVERIFY(apptest::dropFiles(&w.window,
                                   {QStringLiteral("/d/a.evo"), QStringLiteral("/d/b.xpl")}));
        QCOMPARE(w.window.eEVOfile->text(), QStringLiteral("/d/a.evo"));
        QCOMPARE(w.window.eXPLfile->text(), QString());
        QVERIFY(w.window.session().selection.xplFileName.empty());

        apptest::WindowUnderTest other;
        QVERIFY(other.show());
        QVERIFY(apptest::dropFiles(&other.window,
                                   {QStringLiteral("/e/b.xpl"), QStringLiteral("/e/a.evo")}));
        QCOMPARE(other.window.eXPLfile->text(), QStringLiteral("/e/b.xpl"));
        QCOMPARE(other.window.eEVOfile->text(), QString());
        QVERIFY(other.window.bReadXPL->isEnabled());
    }

    void otherDroppedFilesAreIgnored() {
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        QVERIFY(apptest::dropFiles(&w.window, {QStringLiteral("/disc/HVDVD_TS/FEATURE_1.EVO")}));
        const Snapshot before = Snapshot::of(w.window);
        for (const char* path :
             {"/disc/notes.txt", "/disc/movie.mkv", "/disc/EVO", "/disc.EVO/x"}) {
            apptest::dropFiles(&w.window, {QLatin1String(path)});
            QVERIFY2(Snapshot::of(w.window) == before, path);
        }
        // A first item that is no local file counts as the first file all the same.
        QMimeData mime;
        mime.setUrls({QUrl(QStringLiteral("https://example.invalid/a.evo")),
                      QUrl::fromLocalFile(QStringLiteral("/d/b.evo"))});
        QDropEvent drop(QPointF(3, 3), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&w.window, &drop);
        QVERIFY(Snapshot::of(w.window) == before);
    }

    void listedBoxesDriveDemuxAndRebuildOnUserClicks() {
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        QVERIFY(apptest::dropFiles(&w.window, {QStringLiteral("/disc/HVDVD_TS/FEATURE_1.EVO")}));
        // As a Read EVO of the source leaves them.
        w.session.lastScan.source = "/disc/HVDVD_TS/FEATURE_1.EVO";
        w.session.lastScan.slotTable.clear();
        w.session.lastScan.slotTable.ids(SlotKind::Video)[0] = 0xE0;
        w.session.lastScan.slotTable.ids(SlotKind::Audio)[1] = 0x81;
        w.session.lastScan.slotTable.ids(SlotKind::Subpicture)[0] = 0x20;
        w.window.Resetcbs();
        ListFoundStreams(w.window, w.session.lastScan.slotTable);
        QCOMPARE(w.window.cbVideo0->text(), QStringLiteral("MPEG-2.stream.0"));
        QCOMPARE(w.window.cbAudio01->text(), QStringLiteral("DD.stream.01"));
        QCOMPARE(w.window.cbSub00->text(), QStringLiteral("Subpicture.00"));
        QVERIFY(w.window.cbAudio01->isEnabled() && w.window.cbAudio01->isChecked());
        QVERIFY(!w.window.cbAudio00->isEnabled());
        QVERIFY(w.window.bDemux->isEnabled());
        QVERIFY(w.window.bRebuild->isEnabled());

        // The user unticks all three: Demux and, for an .EVO source, Rebuild go off.
        w.window.showPage(Page::Video);
        QTest::mouseClick(w.window.cbVideo0, Qt::LeftButton);
        w.window.showPage(Page::Audio);
        QTest::mouseClick(w.window.cbAudio01, Qt::LeftButton);
        QVERIFY(w.window.bDemux->isEnabled());
        w.window.showPage(Page::Subpicture);
        QTest::mouseClick(w.window.cbSub00, Qt::LeftButton);
        QVERIFY(!w.window.bDemux->isEnabled());
        QVERIFY(!w.window.bRebuild->isEnabled());
        QTest::mouseClick(w.window.cbSub00, Qt::LeftButton);
        QVERIFY(w.window.bDemux->isEnabled());
        QVERIFY(w.window.bRebuild->isEnabled());

        // A tick set by a command raises nothing by itself.
        QTest::mouseClick(w.window.cbSub00, Qt::LeftButton);
        QVERIFY(!w.window.bDemux->isEnabled());
        w.window.setBoxTicked(kSub00, true);
        QVERIFY(!w.window.bDemux->isEnabled());
        setBoxTickedAndNotify(w.window, kAudio01, true);
        QVERIFY(w.window.bDemux->isEnabled());
    }

    void aVobSourceNeverTouchesRebuild() {
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        QVERIFY(apptest::dropFiles(&w.window, {QStringLiteral("/dvd/VIDEO_TS/VTS_01_1.VOB")}));
        w.session.lastScan.source = "/dvd/VIDEO_TS/VTS_01_1.VOB";
        w.session.lastScan.slotTable.clear();
        w.session.lastScan.slotTable.ids(SlotKind::Audio)[1] = 0x81;
        ListFoundStreams(w.window, w.session.lastScan.slotTable);
        QVERIFY(w.window.bDemux->isEnabled());
        QVERIFY(!w.window.bRebuild->isEnabled());
        w.window.showPage(Page::Audio);
        QTest::mouseClick(w.window.cbAudio01, Qt::LeftButton);
        QVERIFY(!w.window.bDemux->isEnabled());
        QVERIFY(!w.window.bRebuild->isEnabled());

        w.window.setEnabled(Button::Rebuild, true);  // as the end of a Demux run leaves it
        QTest::mouseClick(w.window.cbAudio01, Qt::LeftButton);
        QTest::mouseClick(w.window.cbAudio01, Qt::LeftButton);
        QVERIFY(!w.window.bDemux->isEnabled());
        QVERIFY(w.window.bRebuild->isEnabled());
    }

    void resetcbsOnTickedBoxesLeavesDemuxEnabled() {
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        QVERIFY(apptest::dropFiles(&w.window, {QStringLiteral("/disc/HVDVD_TS/FEATURE_1.EVO")}));
        w.session.lastScan.slotTable.clear();
        w.session.lastScan.slotTable.ids(SlotKind::Video)[0] = 0x55;
        w.session.lastScan.slotTable.ids(SlotKind::Audio)[9] = 0xC9;
        ListFoundStreams(w.window, w.session.lastScan.slotTable);
        w.window.Resetcbs();
        QVERIFY(w.window.cbVideo0->isChecked());
        QVERIFY(w.window.cbAudio09->isChecked());
        QVERIFY(!w.window.cbVideo0->isEnabled());
        QCOMPARE(w.window.cbVideo0->text(), QStringLiteral("No video stream"));
        QCOMPARE(w.window.cbAudio09->text(), QStringLiteral("No audio stream"));
        QVERIFY(w.window.bDemux->isEnabled());
        QVERIFY(w.window.bRebuild->isEnabled());
    }

    void captionsShowAmpersandsAsTheyAre() {
        apptest::WindowUnderTest w;
        w.window.setBoxCaption(kVideo0, "A&B");
        QCOMPARE(w.window.boxCaption(kVideo0), std::string("A&B"));
        QCOMPARE(w.window.cbVideo0->text(), QStringLiteral("A&&B"));
        w.window.setBoxHint(kVideo0, "Main title|from the playlist");
        QCOMPARE(w.window.boxHint(kVideo0), std::string("Main title|from the playlist"));
        QCOMPARE(w.window.cbVideo0->toolTip(), QStringLiteral("Main title"));
    }

  private:
    apptest::TemporarySettings settings_;
};

}  // namespace
}  // namespace morvale

QTEST_MAIN(morvale::SourceSelectionTest)
#include "source_selection_test.moc"
