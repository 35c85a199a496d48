// SPDX-License-Identifier: MIT
// The window after a command failed or was cancelled, through its real buttons: the error box
// with its text, the buttons in the states the commands leave, the files keeping what was
// written, and the next command working once the user has done what re-enables it.

#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/file.h"
#include "support/feature_disc.h"
#include "support/file_fault_scopes.h"
#include "window_test_support.h"

namespace morvale {
namespace {

using testing::Bytes;
using testing::FeaturePart;

using apptest::q;
using testing::closedAgain;

constexpr uint64_t kMiB = 0x100000;

// Closes the next error box and keeps its title and text.
struct ErrorBox {
    QString title;
    QString text;
    bool shown = false;

    void expectNext() {
        apptest::onNextMessageBox([this](QMessageBox* box) {
            shown = true;
            title = box->windowTitle();
            text = box->text();
            box->accept();
        });
    }
};

bool endsWithDone(const QStringList& log) {
    return log.contains(QStringLiteral("Done."));
}

class CommandFaultsTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        settings_.clear();
        dir_ = std::make_unique<testing::TempDir>();
        ::mkdir(out().c_str(), 0755);
    }

    // The disk fills up during a Demux, or the output folder is missing: the error box, the
    // message logged, the status "Ready", Demux and Rebuild on, Cancel off, the other
    // controls usable; the outputs keep what was written. Once the user has mended it, Demux
    // runs again at once.
    void aFailedDemuxRunsAgainOnceMended_data() {
        QTest::addColumn<bool>("fullDisk");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("logged");  // the box's message, and why and where
        QTest::addColumn<int>("linesBefore");
        QTest::newRow("full disk")
            << true << "Stream write error"
            << "Stream write error: No space left on device (%1/FEATURE_1.VC-1.stream.0.mpv)" << 5;
        QTest::newRow("missing output folder")
            << false << "Cannot create file \"%1/\". No such file or directory"
            << "Cannot create file \"%1/\". No such file or directory" << 2;
    }
    void aFailedDemuxRunsAgainOnceMended() {
        QFETCH(bool, fullDisk);
        QFETCH(QString, message);
        QFETCH(QString, logged);
        QFETCH(int, linesBefore);
        const FeaturePart part = testing::featurePart({.pictures = 1200, .pictureSize = 1000});
        testing::writePart(dir_->file("FEATURE_1.EVO"), part, 8 * kMiB);
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        TfMain& window = w.window;
        choose(window, "FEATURE_1.EVO");
        QTest::mouseClick(window.bCheck, Qt::LeftButton);
        QVERIFY(window.bDemux->isEnabled());
        const std::string video = out() + "/FEATURE_1.VC-1.stream.0.mpv";
        const std::string audio = out() + "/FEATURE_1.DD+.stream.00.mpa";
        if (fullDisk) {
            QCOMPARE(::symlink("/dev/full", video.c_str()), 0);
        } else {
            QVERIFY(QDir(q(out())).removeRecursively());
        }
        QTest::mouseClick(window.bClear, Qt::LeftButton);

        ErrorBox error;
        error.expectNext();
        QTest::mouseClick(window.bDemux, Qt::LeftButton);
        QVERIFY(error.shown);
        QCOMPARE(error.title, QStringLiteral("Morvale"));  // short: a narrow box shows it whole
        QCOMPARE(error.text, message.arg(q(out())));
        QCOMPARE(window.logLines().size(), linesBefore + 2);  // opening, size, outputs
        expectUsableAfterAFailedWrite(window, logged.arg(q(out())));
        if (fullDisk) QVERIFY(closedAgain(audio));
        QVERIFY(closedAgain(dir_->file("FEATURE_1.EVO")));

        // The user mends the disk or the folder and demuxes again.
        if (fullDisk) {
            QCOMPARE(::unlink(video.c_str()), 0);
        } else {
            QVERIFY(QDir().mkpath(q(out())));
        }
        QTest::mouseClick(window.bDemux, Qt::LeftButton);
        QVERIFY(endsWithDone(window.logLines()));
        QVERIFY(testing::readFileBytes(video) == part.video);
        QVERIFY(testing::readFileBytes(audio) == part.audio0);
        QVERIFY(window.bDemux->isEnabled());
    }

    // A read error in the middle of the source during Read EVO: the boxes stay empty and Read
    // EVO is off until the source is chosen again.
    void readEvoMeetingAReadError() {
        testing::writePart(dir_->file("FEATURE_1.EVO"), testing::featurePart({}), 8 * kMiB);
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        TfMain& window = w.window;
        choose(window, "FEATURE_1.EVO");
        window.cbFastCheck->setChecked(false);

        ErrorBox error;
        {
            testing::InjectedFileFaults faults(
                {.readPath = dir_->file("FEATURE_1.EVO"), .readFailsAt = 5 * kMiB});
            error.expectNext();
            QTest::mouseClick(window.bCheck, Qt::LeftButton);
        }
        QVERIFY(error.shown);
        QCOMPARE(error.text, QStringLiteral("Stream read error"));
        QVERIFY(!endsWithDone(window.logLines()));
        for (QPushButton* button : {window.bCheck, window.bDemux, window.bRebuild, window.bCancel})
            QVERIFY2(!button->isEnabled(), qPrintable(button->objectName()));
        QVERIFY(!window.cbVideo0->isEnabled());
        QCOMPARE(window.cbVideo0->text(), QStringLiteral("No video stream"));
        QVERIFY(window.bbEVO->isEnabled() && window.bbXPL->isEnabled());
        QVERIFY(!window.locked());

        choose(window, "FEATURE_1.EVO");
        QVERIFY(window.bCheck->isEnabled());
        QTest::mouseClick(window.bCheck, Qt::LeftButton);
        QVERIFY(endsWithDone(window.logLines()));
        QVERIFY(window.cbVideo0->isEnabled() && window.cbVideo0->isChecked());
        QVERIFY(window.bDemux->isEnabled());
    }

    // The second part is held by another program when a Rebuild reaches it: the output keeps
    // the first part, and once it is free the next Rebuild reads both.
    void rebuildWhoseSecondPartIsHeld() {
        const FeaturePart first = testing::featurePart({});
        const FeaturePart second = testing::featurePart({.basePts = 800000, .seed = 9});
        testing::writePart(dir_->file("FEATURE_1.EVO"), first, kMiB);
        testing::writePart(dir_->file("FEATURE_2.EVO"), second, kMiB);
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        TfMain& window = w.window;
        choose(window, "FEATURE_1.EVO");
        QTest::mouseClick(window.bCheck, Qt::LeftButton);
        QTest::mouseClick(window.bClear, Qt::LeftButton);

        ErrorBox error;
        {
            testing::HeldFile holder(dir_->file("FEATURE_2.EVO"));
            QVERIFY(holder.held());
            error.expectNext();
            QTest::mouseClick(window.bRebuild, Qt::LeftButton);
        }
        QVERIFY(error.shown);
        QCOMPARE(error.text, QStringLiteral("Cannot open file \"") +
                                 q(dir_->file("FEATURE_2.EVO")) +
                                 QStringLiteral("\". another program has the file open exclusively"));
        const std::string rebuilt = out() + "/FEATURE_1_2.rebuilt.EVO";
        QCOMPARE(window.logLines(),
                 QStringList({QStringLiteral("Opening file FEATURE_1.EVO"),
                              QStringLiteral("File size: 1 Mbytes."),
                              QStringLiteral("Creating ") + q(rebuilt), error.text, QString()}));
        expectUsableAfterAFailedWrite(window, error.text);
        const Bytes firstPacks = wholePacks(first);
        QVERIFY(testing::readFileBytes(rebuilt) == firstPacks);
        QVERIFY(closedAgain(rebuilt));

        QTest::mouseClick(window.bRebuild, Qt::LeftButton);
        QVERIFY(endsWithDone(window.logLines()));
        QVERIFY(testing::readFileBytes(rebuilt) ==
                testing::concat({firstPacks, wholePacks(second)}));
    }

    // A playlist replaced by a folder after it was chosen: Read XPL is off until a playlist
    // is chosen again.
    void readXplOfAPlaylistReplacedByAFolder() {
        const std::string playlist = dir_->file("VPLST000.XPL");
        const std::string text =
            "<Playlist displayName=\"Disc\"><Title displayName=\"Main\">"
            "<Clip src=\"FEATURE_1.MAP\"/><Video track=\"1\"/></Title>"
            "</Playlist>";
        testing::writeFileBytes(playlist, Bytes(text.begin(), text.end()));
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        TfMain& window = w.window;
        choose(window, "FEATURE_1.EVO");
        QVERIFY(apptest::dropFiles(&window, {q(playlist)}));
        QVERIFY(window.bReadXPL->isEnabled());
        std::filesystem::rename(playlist, dir_->file("moved.XPL"));
        std::filesystem::create_directory(playlist);

        ErrorBox error;
        error.expectNext();
        QTest::mouseClick(window.bReadXPL, Qt::LeftButton);
        QVERIFY(error.shown);
        QCOMPARE(error.text, QStringLiteral("Cannot open file \"") + q(playlist) +
                                 QStringLiteral("\". Is a directory"));
        QVERIFY(!window.bReadXPL->isEnabled());
        QVERIFY(window.bbXPL->isEnabled() && window.bbEVO->isEnabled());
        QVERIFY(!window.locked());

        std::filesystem::remove(playlist);
        std::filesystem::rename(dir_->file("moved.XPL"), playlist);
        QVERIFY(apptest::dropFiles(&window, {q(playlist)}));
        QVERIFY(window.bReadXPL->isEnabled());
        QTest::mouseClick(window.bReadXPL, Qt::LeftButton);
        QVERIFY(endsWithDone(window.logLines()));
        QVERIFY(window.cbVideo0->isEnabled() && window.cbVideo0->isChecked());
        QCOMPARE(window.cbVideo0->text(), QStringLiteral(".stream.0"));
    }

    // Cancel (Yes) at the end of the first part: the second part is not read, the outputs hold
    // the first, and the next Demux reads both parts in full.
    void cancelBetweenThePartsOfADemux() {
        const FeaturePart first = testing::featurePart({});
        const FeaturePart second = testing::featurePart({.basePts = 800000, .seed = 9});
        testing::writePart(dir_->file("FEATURE_1.EVO"), first, 8 * kMiB);
        testing::writePart(dir_->file("FEATURE_2.EVO"), second, kMiB);
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        TfMain& window = w.window;
        choose(window, "FEATURE_1.EVO");
        window.cbFastCheck->setChecked(false);
        QTest::mouseClick(window.bCheck, Qt::LeftButton);
        QTest::mouseClick(window.bClear, Qt::LeftButton);

        bool clicked = false;
        QString question;
        QTimer pump;  // fires from the run's event pump
        pump.setInterval(0);
        connect(&pump, &QTimer::timeout, &window, [&] {
            if (clicked || !window.locked() || QApplication::activeModalWidget() != nullptr) return;
            if (!window.panelText(1).startsWith(QStringLiteral(" 8/8 Mbytes"))) return;
            clicked = true;
            apptest::onNextMessageBox([&](QMessageBox* box) {
                question = box->text();
                box->button(QMessageBox::Yes)->click();
            });
            QTest::mouseClick(window.bCancel, Qt::LeftButton);
        });
        pump.start();
        QTest::mouseClick(window.bDemux, Qt::LeftButton);
        pump.stop();

        QVERIFY(clicked);
        QCOMPARE(question, QStringLiteral("Are you sure to stop demuxing?"));
        QStringList log = window.logLines();
        QVERIFY(!log.contains(QStringLiteral("Continue on FEATURE_2.EVO")));
        QCOMPARE(log.mid(log.size() - 2), QStringList({QStringLiteral("Done."), QString()}));
        const std::string video = out() + "/FEATURE_1_2.VC-1.stream.0.mpv";
        QVERIFY(testing::readFileBytes(video) == first.video);
        QVERIFY(window.bDemux->isEnabled() && window.bRebuild->isEnabled());
        QVERIFY(!window.bCancel->isEnabled());
        QVERIFY(window.bCheck->isEnabled() && window.cbVideo0->isEnabled());

        QTest::mouseClick(window.bClear, Qt::LeftButton);
        QTest::mouseClick(window.bDemux, Qt::LeftButton);
        log = window.logLines();
        QVERIFY(log.contains(QStringLiteral("Continue on FEATURE_2.EVO")));
        QCOMPARE(log.last(), QStringLiteral("24 frames (0:00:01 s) count in video stream 0."));
        QVERIFY(testing::readFileBytes(video) == testing::concat({first.video, second.video}));
    }

  private:
    std::string out() const { return dir_->file("out"); }

    // The source dropped on the window, the output folder typed into its edit.
    void choose(TfMain& window, const std::string& name) {
        QVERIFY(apptest::dropFiles(&window, {q(dir_->file(name))}));
        window.eWorkdir->setText(q(out()));
    }

    // After a failed Demux or Rebuild: the message closes the log, the status is "Ready",
    // Demux and Rebuild are on for the next try, Cancel off, everything else usable.
    static void expectUsableAfterAFailedWrite(TfMain& window, const QString& message) {
        QCOMPARE(window.logLines().mid(window.logLines().size() - 2),
                 QStringList({message, QString()}));
        QCOMPARE(window.panelText(0), QStringLiteral(" Ready"));
        QCOMPARE(window.panelText(1), QStringLiteral(" "));
        QVERIFY(window.bDemux->isEnabled());
        QVERIFY(window.bRebuild->isEnabled());
        QVERIFY(!window.bCancel->isEnabled());
        QVERIFY(window.bCheck->isEnabled());
        QVERIFY(window.bbEVO->isEnabled() && window.bbXPL->isEnabled());
        QVERIFY(window.cbVideo0->isEnabled() && window.cbAudio00->isEnabled());
        QVERIFY(!window.locked());
    }

    static Bytes wholePacks(const FeaturePart& part) {
        return Bytes(part.bytes.begin(),
                     part.bytes.begin() + static_cast<ptrdiff_t>(part.bytes.size() / 2048 * 2048));
    }

    apptest::TemporarySettings settings_;
    std::unique_ptr<testing::TempDir> dir_;
};

}  // namespace
}  // namespace morvale

QTEST_MAIN(morvale::CommandFaultsTest)
#include "command_faults_test.moc"
