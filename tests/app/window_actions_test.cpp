// SPDX-License-Identifier: MIT
// What the window offers around the commands: the focus on Read EVO once a source is set,
// paths typed into the path edits, the progress bar, "Show files", the output folder's
// browse button and the About box.

#include <algorithm>

#include <QCheckBox>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QToolTip>

#include "app/command_line.h"
#include "app/folder_launcher.h"
#include "controls/stream_boxes.h"
#include "support/example_playlist.h"
#include "support/feature_disc.h"
#include "support/made_sources.h"
#include "support/matroska_peers.h"
#include "window_test_support.h"

namespace morvale {
namespace {

using apptest::q;

constexpr uint64_t kMiB = 0x100000;

// A feature in a temporary folder: HVDVD_TS/FEATURE_1.EVO of `size` bytes and an output
// folder beside it.
struct Feature {
    testing::TempDir dir;
    QString source = q(dir.file("HVDVD_TS/FEATURE_1.EVO"));
    QString out = q(dir.file("out"));

    explicit Feature(uint64_t size = kMiB) {
        QDir().mkpath(q(dir.file("HVDVD_TS")));
        QDir().mkpath(out);
        testing::writePart(source.toStdString(), testing::featurePart({}), size);
    }
    // One part, written into the output folder, dropped on the window.
    bool loadInto(TfMain& window) const {
        window.cbContinue->setChecked(false);
        window.eWorkdir->setText(out);
        return apptest::dropFiles(&window, {source});
    }
};

// How a source is set.
enum class Choice { Drop, Browse, CommandLine, Typed };

void choose(TfMain& window, Choice choice, const QString& path) {
    switch (choice) {
        case Choice::Drop:
            apptest::dropFiles(&window, {path});
            break;
        case Choice::Browse:
            apptest::onNextModal([path](QWidget* modal) {
                auto* dialog = qobject_cast<QFileDialog*>(modal);
                // The dialog selects the current source once its folder has been read, which
                // a loaded machine may finish late: type the new path only after that.
                if (auto* model = dialog->findChild<QFileSystemModel*>()) {
                    for (int n = 0; n < 100 && model->rowCount(model->index(model->rootPath())) == 0; ++n)
                        QTest::qWait(50);
                }
                QTest::qWait(100);
                dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(path);
                static_cast<QDialog*>(dialog)->accept();
            });
            QTest::mouseClick(window.bbEVO, Qt::LeftButton);
            break;
        case Choice::CommandLine:
            openFromCommandLine(window, {path});
            break;
        case Choice::Typed:
            QTest::mouseClick(window.eEVOfile, Qt::LeftButton);
            window.eEVOfile->selectAll();  // typed over what the edit holds
            QTest::keyClicks(window.eEVOfile, path);
            QTest::keyClick(window.eEVOfile, Qt::Key_Return);
            break;
    }
}

// The folder launcher the window runs, in place of the desktop's for as long as it lives:
// the only program of its name on the PATH. It notes the folder it was given and ends with
// `status` (saying why on its error output when that is not 0); with `installed` false there
// is no launcher at all.
class FakeLauncher {
  public:
    explicit FakeLauncher(bool installed = true, int status = 0) : path_(qgetenv("PATH")) {
        qputenv("PATH", QByteArray::fromStdString(dir_.path()));
        if (!installed) return;
        const std::string script = dir_.file(kFolderLauncher);
        const std::string text = "#!/bin/sh\nprintf '%s' \"$1\" > '" + dir_.file("opened") +
                                 "'\n" +
                                 (status == 0 ? std::string()
                                              : "echo \"xdg-open: no method available for opening "
                                                "'$1'\" >&2\n") +
                                 "exit " + std::to_string(status) + "\n";
        testing::writeFileBytes(script, testing::Bytes(text.begin(), text.end()));
        QFile::setPermissions(q(script), QFile::ReadOwner | QFile::ExeOwner);
    }
    ~FakeLauncher() { qputenv("PATH", path_); }
    // The folder it was asked to open; empty while it has not run.
    QString opened() const {
        QFile file(q(dir_.file("opened")));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

  private:
    testing::TempDir dir_;
    QByteArray path_;
};

class WindowActionsTest : public QObject {
    Q_OBJECT

  private slots:
    void init() { settings_.clear(); }

    // However the source is set, the focus goes to Read EVO, so Enter reads it.
    void aNewSourceTakesTheFocusToReadEvo_data() {
        QTest::addColumn<int>("choice");
        QTest::newRow("drop") << int(Choice::Drop);
        QTest::newRow("browse") << int(Choice::Browse);
        QTest::newRow("command line") << int(Choice::CommandLine);
        QTest::newRow("typed") << int(Choice::Typed);
    }
    void aNewSourceTakesTheFocusToReadEvo() {
        QFETCH(int, choice);
        Feature feature;
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        w.window.eWorkdir->setText(feature.out);
        w.window.bbXPL->setFocus();
        choose(w.window, static_cast<Choice>(choice), feature.source);
        QCOMPARE(w.window.eEVOfile->text(), feature.source);
        QCOMPARE(w.window.focusWidget(), w.window.bCheck);
        QSignalSpy readEvo(w.window.bCheck, &QPushButton::clicked);
        QTest::keyClick(w.window.focusWidget(), Qt::Key_Return);
        QCOMPARE(readEvo.count(), 1);
        QVERIFY(w.window.logLines().contains(QStringLiteral("Done.")));
    }

    // A path typed or pasted into a path edit is chosen on Enter as a drop of it would be:
    // by its extension, whichever edit it was typed in. Anything else stays in the edit with
    // a word on why; Escape or leaving the edit brings back the chosen file.
    void aTypedPathIsTakenOnEnterAsADropWouldBe_data() {
        QTest::addColumn<bool>("intoPlaylistEdit");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("playlist");
        QTest::newRow("source") << false << "/d/HVDVD_TS/FEATURE_1.EVO"
                                << "/d/HVDVD_TS/FEATURE_1.EVO"
                                << "/d/ADV_OBJ/VPLST000.XPL";
        QTest::newRow("pasted address with blanks")
            << false << "  file:///d/HVDVD_TS/FEATURE%201.evo  "
            << "/d/HVDVD_TS/FEATURE 1.evo"
            << "/d/ADV_OBJ/VPLST000.XPL";
        QTest::newRow("quoted playlist in the source edit") << false << "'/e/ADV_OBJ/VPLST000.XPL'"
                                                            << "/old/clip.vob"
                                                            << "/e/ADV_OBJ/VPLST000.XPL";
        QTest::newRow("relative source in the playlist edit")
            << true << "movie.VOB" << QDir::current().absoluteFilePath(QStringLiteral("movie.VOB"))
            << "";
        QTest::newRow("not a source") << false << "/d/notes.txt"
                                      << "/old/clip.vob"
                                      << "";
    }
    void aTypedPathIsTakenOnEnterAsADropWouldBe() {
        QFETCH(bool, intoPlaylistEdit);
        QFETCH(QString, typed);
        QFETCH(QString, source);
        QFETCH(QString, playlist);
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        QVERIFY(apptest::dropFiles(&w.window, {QStringLiteral("/old/clip.vob")}));
        QLineEdit* edit = intoPlaylistEdit ? w.window.eXPLfile : w.window.eEVOfile;
        QTest::mouseClick(edit, Qt::LeftButton);
        edit->selectAll();
        if (typed.startsWith(QLatin1Char(' '))) {
            QGuiApplication::clipboard()->setText(typed);
            QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        } else {
            QTest::keyClicks(edit, typed);
        }
        QCOMPARE(w.window.text(Edit::EvoFile), std::string("/old/clip.vob"));  // not yet
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(q(w.window.text(Edit::EvoFile)), source);
        QCOMPARE(q(w.window.text(Edit::XplFile)), playlist);
        const bool taken = source != QStringLiteral("/old/clip.vob") || !playlist.isEmpty();
        QCOMPARE(w.window.eEVOfile->text(), taken || intoPlaylistEdit ? source : typed);
        QCOMPARE(QToolTip::isVisible(), !taken);
        if (!taken) {
            QVERIFY(QToolTip::text().contains(QStringLiteral(".EVO, .VOB and .XPL")));
            QTest::keyClick(edit, Qt::Key_Escape);
            QCOMPARE(w.window.eEVOfile->text(), source);
            QTest::keyClicks(edit, QStringLiteral("x"));
            w.window.bbXPL->setFocus();  // leaving the edit undoes the typing too
            QCOMPARE(w.window.eEVOfile->text(), source);
        }
    }

    // The bar beside the progress text shows how far the run has read its source (and for
    // Make MKV, then how far mkvmerge is), and goes when the run ends.
    void theProgressBarFollowsTheRun_data() {
        QTest::addColumn<QString>("command");
        QTest::newRow("Read EVO") << "bCheck";
        QTest::newRow("Demux") << "bDemux";
        QTest::newRow("Rebuild") << "bRebuild";
        QTest::newRow("Make MKV") << "bMakeMkv";
    }
    void theProgressBarFollowsTheRun() {
        QFETCH(QString, command);
        const bool makeMkv = command == QStringLiteral("bMakeMkv");
        if (makeMkv && !testing::haveMatroskaPeers()) QSKIP("mkvmerge or ffmpeg missing");
        Feature feature(12 * kMiB);
        if (makeMkv) {  // streams mkvmerge can read, 12 MiB and a little more
            const testing::MadeSource made{
                .video = "mpeg2video -b:v 16M -minrate 16M -maxrate 16M -bufsize 1835k",
                .size = "720x576",
                .audio = {},
                .muxer = "dvd",
                .seconds = 6.5};
            QVERIFY(testing::makeSource(made, feature.source.toStdString()));
        }
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        TfMain& window = w.window;
        QVERIFY(feature.loadInto(window));
        if (command != QStringLiteral("bCheck")) QTest::mouseClick(window.bCheck, Qt::LeftButton);
        QVERIFY(!window.pbProgress->isVisible());

        QList<QPair<int, int>> seen;  // value, maximum, at every step shown
        QStringList texts;
        connect(window.pbProgress, &QProgressBar::valueChanged, this, [&](int value) {
            if (value < 0) return;
            seen << qMakePair(value, window.pbProgress->maximum());
            texts << window.panelText(1);
            QVERIFY(window.pbProgress->isVisible());
        });
        QTest::mouseClick(window.findChild<QPushButton*>(command), Qt::LeftButton);
        if (makeMkv) {
            // One bar over the whole run: the demux's MiB, then mkvmerge's share of the
            // streams' MiB on the same scale, with the time remaining in both.
            QVERIFY2(QFileInfo::exists(feature.out + QStringLiteral("/FEATURE_1.mkv")),
                     qPrintable(window.logLines().join(QLatin1Char('\n'))));
            const int total = seen.first().second;
            QVERIFY(total > 12);
            for (const auto& step : seen)
                QCOMPARE(step.second, total);
            QVERIFY(std::is_sorted(seen.begin(), seen.end()));
            QCOMPARE(seen.last(), qMakePair(total, total));
            QCOMPARE(seen.mid(0, 3), (QList<QPair<int, int>>{{4, total}, {8, total}, {12, total}}));
            QVERIFY2(texts.last().contains(QStringLiteral("Multiplexing: ")) &&
                         texts.last().contains(QStringLiteral("Remaining time: ")),
                     qPrintable(texts.last()));
        } else {
            QCOMPARE(seen, (QList<QPair<int, int>>{{4, 12}, {8, 12}, {12, 12}}));
        }
        const QString firstStep = QStringLiteral(" 4/%1 Mbytes, Remaining time: ").arg(seen.first().second);
        QVERIFY2(texts.first().contains(firstStep), qPrintable(texts.first()));
        QVERIFY(!window.pbProgress->isVisible());
        QVERIFY(window.logLines().contains(QStringLiteral("Done.")));
    }

    // While the Cancel question waits for an answer the run's clock stands still: after "No"
    // the remaining time comes from the time the run had, not from the time it waited.
    void theRemainingTimeLeavesOutTheCancelQuestion() {
        Feature feature(20 * kMiB);
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        TfMain& window = w.window;
        QVERIFY(feature.loadInto(window));
        QTest::mouseClick(window.bCheck, Qt::LeftButton);

        QStringList remaining;
        connect(window.pbProgress, &QProgressBar::valueChanged, this, [&](int value) {
            if (value < 0) return;
            remaining << window.panelText(1).section(QStringLiteral("time: "), 1);
            if (value != 4) return;
            apptest::onNextMessageBox([](QMessageBox* box) {
                QTest::qWait(2500);
                box->button(QMessageBox::No)->click();
            });
            window.bCancel->click();
        });
        QTest::mouseClick(window.bDemux, Qt::LeftButton);
        QCOMPARE(remaining.size(), 5);
        for (const QString& time : remaining.mid(1))
            QCOMPARE(time, QStringLiteral("0:00:01"));
        QVERIFY(window.logLines().contains(QStringLiteral("Done.")));
    }

    // After Demux and Rebuild "Show files" opens the folder they wrote into, as it was when
    // the run started; an output folder that does not exist offers nothing to show.
    void showFilesOpensTheOutputFolderOfTheLastRun_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("folderExists");
        QTest::newRow("Demux") << "bDemux" << true;
        QTest::newRow("Rebuild") << "bRebuild" << true;
        QTest::newRow("Demux into a missing folder") << "bDemux" << false;
    }
    void showFilesOpensTheOutputFolderOfTheLastRun() {
        QFETCH(QString, command);
        QFETCH(bool, folderExists);
        Feature feature;
        if (!folderExists) QDir(feature.out).removeRecursively();
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        TfMain& window = w.window;
        window.eWorkdir->setText(feature.out + QLatin1Char('/'));
        QVERIFY(apptest::dropFiles(&window, {feature.source}));
        QTest::mouseClick(window.bCheck, Qt::LeftButton);
        QVERIFY(window.bShowFiles->isHidden());
        if (!folderExists) apptest::onNextMessageBox([](QMessageBox* box) { box->accept(); });
        QTest::mouseClick(window.findChild<QPushButton*>(command), Qt::LeftButton);
        QCOMPARE(window.bShowFiles->isHidden(), !folderExists);
        if (!folderExists) return;
        window.eWorkdir->setText(QStringLiteral("/elsewhere"));
        const qsizetype lines = window.logLines().size();
        FakeLauncher launcher;
        QTest::mouseClick(window.bShowFiles, Qt::LeftButton);
        QTRY_COMPARE(launcher.opened(), feature.out);
        QTest::qWait(100);  // the launcher has ended well: nothing to say
        QCOMPARE(window.logLines().size(), lines);
    }

    // Without a file manager to open the folder, the log names it in full and says why.
    void showFilesWithoutAFileManagerNamesTheFolder_data() {
        QTest::addColumn<bool>("installed");
        QTest::addColumn<QString>("why");
        QTest::newRow("no launcher") << false << "xdg-open is not installed";
        QTest::newRow("no file manager") << true << "xdg-open: no method available for opening '%1'";
    }
    void showFilesWithoutAFileManagerNamesTheFolder() {
        QFETCH(bool, installed);
        QFETCH(QString, why);
        Feature feature;
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        TfMain& window = w.window;
        QVERIFY(feature.loadInto(window));
        QTest::mouseClick(window.bCheck, Qt::LeftButton);
        QTest::mouseClick(window.bDemux, Qt::LeftButton);
        FakeLauncher launcher(installed, 3);
        QTest::mouseClick(window.bShowFiles, Qt::LeftButton);
        const QString line = QStringLiteral("No file manager opened the output folder (%1): the "
                                            "files are in %2")
                                 .arg(why.arg(feature.out), feature.out);
        QTRY_COMPARE(window.logLines().mid(window.logLines().size() - 1), QStringList{line});
    }

    // Enter in a field of the Options page confirms that field only: no Read EVO runs, so the
    // boxes keep the playlist's names and the user's ticks.
    void enterInAnOptionsFieldConfirmsOnlyThatField_data() {
        QTest::addColumn<QString>("field");
        for (const char* field : {"eWorkdir", "eVideoExt", "eAudioExt", "eSubExt"})
            QTest::newRow(field) << field;
    }
    void enterInAnOptionsFieldConfirmsOnlyThatField() {
        QFETCH(QString, field);
        Feature feature;
        const std::string playlist = testing::kExamplePlaylist;
        QDir().mkpath(q(feature.dir.file("ADV_OBJ")));
        testing::writeFileBytes(feature.dir.file("ADV_OBJ/VPLST000.XPL"),
                                testing::Bytes(playlist.begin(), playlist.end()));
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        TfMain& window = w.window;
        QVERIFY(feature.loadInto(window));
        QTest::mouseClick(window.bCheck, Qt::LeftButton);
        QTest::mouseClick(window.bReadXPL, Qt::LeftButton);
        QCOMPARE(window.cbAudio01->text(), QStringLiteral("DD+.6ch.stream.01.English"));
        window.showPage(Page::Audio);
        QTest::mouseClick(window.cbAudio01, Qt::LeftButton);  // the user's choice
        const QStringList log = window.logLines();

        window.showPage(Page::Options);
        auto* edit = window.findChild<QLineEdit*>(field);
        QTest::mouseClick(edit, Qt::LeftButton);
        edit->end(false);
        QTest::keyClicks(edit, QStringLiteral("2"));
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(window.logLines(), log);
        QCOMPARE(window.PageControl->currentWidget(), window.tsOption);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(edit));
        QVERIFY(edit->text().endsWith(QLatin1Char('2')));
        QCOMPARE(window.cbAudio01->text(), QStringLiteral("DD+.6ch.stream.01.English"));
        QVERIFY(!window.cbAudio01->isChecked() && window.cbAudio01->isEnabled());
        QVERIFY(window.cbVideo0->isChecked());
    }

    // A new source, however it is chosen, empties the boxes the last file's scan filled and
    // switches Demux, Rebuild and Make MKV off: they would write the old file's choice into
    // the new file's outputs. A Read EVO of the new source lists its own streams.
    void aNewSourceStartsFromEmptyBoxes_data() {
        QTest::addColumn<int>("choice");
        QTest::newRow("drop") << int(Choice::Drop);
        QTest::newRow("browse") << int(Choice::Browse);
        QTest::newRow("command line") << int(Choice::CommandLine);
        QTest::newRow("typed") << int(Choice::Typed);
    }
    void aNewSourceStartsFromEmptyBoxes() {
        QFETCH(int, choice);
        testing::TempDir dir;
        const QString first = q(dir.file("one.EVO"));
        const QString second = q(dir.file("two.EVO"));
        testing::writePart(first.toStdString(), testing::featurePart({}), kMiB);
        testing::writePart(second.toStdString(), testing::featurePart({.secondAudio = true}), kMiB);
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        TfMain& window = w.window;
        window.eWorkdir->setText(q(dir.path()));
        QVERIFY(apptest::dropFiles(&window, {first}));
        QTest::mouseClick(window.bCheck, Qt::LeftButton);
        QVERIFY(window.cbAudio00->isChecked() && !window.cbAudio01->isEnabled());
        QVERIFY(window.bDemux->isEnabled() && window.bRebuild->isEnabled());

        choose(window, static_cast<Choice>(choice), second);
        QCOMPARE(window.eEVOfile->text(), second);
        for (int n = 0; n < kStreamBoxCount; ++n) {
            const StreamBox box = boxAt(n);
            QVERIFY2(!window.box(box)->isEnabled(), qPrintable(window.box(box)->objectName()));
            QCOMPARE(window.boxCaption(box), std::string(emptyCaption(box.page)));
        }
        QVERIFY(!window.bDemux->isEnabled());
        QVERIFY(!window.bRebuild->isEnabled());
        QVERIFY(!window.bMakeMkv->isEnabled());

        QTest::mouseClick(window.bCheck, Qt::LeftButton);
        QCOMPARE(window.cbAudio01->text(), QStringLiteral("DD+.stream.01"));
        QVERIFY(window.cbAudio01->isChecked() && window.cbAudio01->isEnabled());
        QVERIFY(window.bDemux->isEnabled() && window.bRebuild->isEnabled());
        QVERIFY(window.bMakeMkv->isEnabled());
    }

    // A dropped or typed file that can be neither source nor playlist leaves both as they
    // were, and the status line says why nothing happened.
    void aFileThatIsNoSourceIsNamedInTheStatusLine_data() {
        QTest::addColumn<bool>("typed");
        QTest::newRow("dropped") << false;
        QTest::newRow("typed") << true;
    }
    void aFileThatIsNoSourceIsNamedInTheStatusLine() {
        QFETCH(bool, typed);
        Feature feature;
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        TfMain& window = w.window;
        QVERIFY(feature.loadInto(window));
        const QString notes = q(feature.dir.file("notes.txt"));
        if (typed) {
            QTest::mouseClick(window.eEVOfile, Qt::LeftButton);
            window.eEVOfile->selectAll();
            QTest::keyClicks(window.eEVOfile, notes);
            QTest::keyClick(window.eEVOfile, Qt::Key_Return);
        } else {
            QVERIFY(apptest::dropFiles(&window, {notes}));
        }
        QCOMPARE(window.panelText(1),
                 QStringLiteral(" notes.txt was not chosen: only .EVO, .VOB and .XPL files can be."));
        QCOMPARE(q(window.text(Edit::EvoFile)), feature.source);
        QTest::mouseClick(window.bCheck, Qt::LeftButton);  // reads the source it names
        QVERIFY(window.logLines().contains(QStringLiteral("Opening file FEATURE_1.EVO")));
        QCOMPARE(window.eEVOfile->text(), feature.source);
    }

    // The output folder's browse button puts the chosen folder into the edit.
    void theOutputFolderCanBeBrowsedFor() {
        Feature feature;
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        w.window.showPage(Page::Options);
        QString title;
        apptest::onNextModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            title = dialog->windowTitle();
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(feature.out);
            static_cast<QDialog*>(dialog)->accept();
        });
        QTest::mouseClick(w.window.bbWorkdir, Qt::LeftButton);
        QCOMPARE(title, QStringLiteral("Choose the output folder"));
        QCOMPARE(w.window.eWorkdir->text(), feature.out);
    }

    // The About box names the version, Morvale's own licence, the libraries with theirs, and
    // the program Make MKV runs.
    void theAboutBoxNamesVersionAndLicences() {
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        w.window.showPage(Page::Options);
        QString text;
        apptest::onNextMessageBox([&](QMessageBox* box) {
            text = box->text();
            box->close();
        });
        QTest::mouseClick(w.window.bAbout, Qt::LeftButton);
        for (const char* part : {"Morvale 0.617", "MIT License", "Qt 6.", "LGPL-3.0",
                                 "libjpeg-turbo ", "IJG License", "BSD License",
                                 "Independent JPEG Group", "Make MKV", "mkvmerge", "MKVToolNix"}) {
            QVERIFY2(text.contains(QLatin1String(part)), part);
        }
    }

  private:
    apptest::TemporarySettings settings_;
};

}  // namespace
}  // namespace morvale

QTEST_MAIN(morvale::WindowActionsTest)
#include "window_actions_test.moc"
