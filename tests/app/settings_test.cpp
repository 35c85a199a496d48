// SPDX-License-Identifier: MIT
// The window's settings: read at the first activation, stored at close, in a private
// temporary store.

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTreeWidget>

#include "controls/stream_boxes.h"
#include "platform/clock.h"
#include "window_test_support.h"

namespace morvale {
namespace {

const char* const kAllValues[] = {"Width",     "Height",    "Top",      "Left",      "WindowState",
                                  "TreeWidth", "AudioExt",  "VideoExt", "SubExt",    "Workdir",
                                  "EVOdir",    "XPLdir",    "Continue", "FastCheck", "CountFrames",
                                  "Details",   "SubFormat", "Install"};

// Where a click on an option box lands: on its tick mark.
constexpr QPoint kOnTick(6, 8);

// Closes the message box that comes up and keeps its text.
void catchMessage(QString* text) {
    apptest::onNextModal([text](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) *text = box->text();
        modal->close();
    });
}

class SettingsTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        settings_.clear();
        apptest::TemporarySettings::usePath(settings_.root());
    }

    void firstStartShowsTheDesignAndTheFirstCloseStoresEveryValue() {
        QVERIFY(!QFile::exists(settings_.file()));
        {
            apptest::WindowUnderTest w;
            QVERIFY(w.show());
            const QRect room = w.window.screen()->availableGeometry();
            QVERIFY(room.contains(w.window.frameGeometry()));
            // In the middle, as far as the frame (unknown before the window was shown) allows.
            const int frame = w.window.frameGeometry().width() - w.window.width();
            QVERIFY(qAbs(w.window.frameGeometry().center().x() - room.center().x()) <= frame);
            QCOMPARE(w.window.eVideoExt->text(), QStringLiteral("mpv"));
            QVERIFY(w.window.cbFastCheck->isChecked());
            const double before = localNowDays();
            QVERIFY(w.window.close());
            const double after = localNowDays();

            auto store = settings_.open();
            for (const char* name : kAllValues)
                QVERIFY2(store->contains(QLatin1String(name)), name);
            QCOMPARE(store->value("WindowState").toInt(), 0);
            QCOMPARE(store->value("Width").toInt(), w.window.frameGeometry().width());
            QCOMPARE(store->value("Height").toInt(), w.window.frameGeometry().height());
            QCOMPARE(store->value("Top").toInt(), w.window.frameGeometry().y());
            QCOMPARE(store->value("TreeWidth").toInt(), 96);
            QCOMPARE(store->value("AudioExt").toString(), QStringLiteral("mpa"));
            QCOMPARE(store->value("Workdir").toString(), QString());
            QCOMPARE(store->value("Details").toInt(), 1);
            QCOMPARE(store->value("SubFormat").toString(), QStringLiteral("sp"));
            const QByteArray install = store->value("Install").toByteArray();
            QCOMPARE(install.size(), 8);
            const double days = *installDays(install);
            QVERIFY(days >= before - 1e-6 && days <= after + 1e-6);
        }
    }

    void reopeningRestoresPlacementExtensionsFoldersAndOptions() {
        {
            apptest::WindowUnderTest w;
            QVERIFY(w.show());
            w.window.move(40, 50);
            w.window.setOuterWidth(450);
            w.window.setOuterHeight(420);
            w.window.showPage(Page::Xpl);
            QSplitter* splitter = w.window.splXPL;
            splitter->setSizes({150, splitter->width() - splitter->handleWidth() - 150});
            w.window.eVideoExt->setText(QStringLiteral("m2v"));
            w.window.eAudioExt->setText(QStringLiteral("ac3"));
            w.window.eSubExt->setText(QStringLiteral("sub"));
            w.window.eWorkdir->setText(QStringLiteral("/out/put"));
            QVERIFY(
                apptest::dropFiles(&w.window, {QStringLiteral("/disc/HVDVD_TS/FEATURE_1.EVO")}));
            w.window.showPage(Page::Options);
            QTest::mouseClick(w.window.cbFastCheck, Qt::LeftButton, {}, kOnTick);
            QTest::mouseClick(w.window.cbDetails, Qt::LeftButton, {}, kOnTick);
            // "Subpicture format": two steps down the list, to VobSub.
            w.window.cbSubFormat->setFocus();
            QTest::keyClick(w.window.cbSubFormat, Qt::Key_Down);
            QTest::keyClick(w.window.cbSubFormat, Qt::Key_Down);
            QVERIFY(w.window.close());
        }
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        QCOMPARE(w.window.frameGeometry(), QRect(40, 50, 450, 420));
        QCOMPARE(w.window.eVideoExt->text(), QStringLiteral("m2v"));
        QCOMPARE(w.window.eAudioExt->text(), QStringLiteral("ac3"));
        QCOMPARE(w.window.eSubExt->text(), QStringLiteral("sub"));
        QCOMPARE(w.window.eWorkdir->text(), QStringLiteral("/out/put"));
        QCOMPARE(w.session.selection.evoFolder, std::string("/disc/HVDVD_TS/"));
        QCOMPARE(w.session.selection.xplFolder, std::string("/disc/ADV_OBJ/"));
        QVERIFY(w.window.cbContinue->isChecked());
        QVERIFY(!w.window.cbFastCheck->isChecked());
        QVERIFY(w.window.cbCountFr->isChecked());
        QVERIFY(!w.window.cbDetails->isChecked());
        QCOMPARE(w.window.cbSubFormat->currentText(), QStringLiteral("VobSub (.idx, .sub)"));
        QCOMPARE(w.window.subpictureFormat(), SubpictureFormat::VobSub);
        QCOMPARE(w.window.treeWidth(), 150);
        w.window.showPage(Page::Xpl);
        QCOMPARE(w.window.tvXPL->width(), 150);
        // The source itself is not remembered.
        QCOMPARE(w.window.eEVOfile->text(), QString());
        QVERIFY(!w.window.bCheck->isEnabled());
    }

    void aMaximisedCloseKeepsTheEarlierPlacement() {
        {
            auto store = settings_.open();
            store->setValue("Top", 30);
            store->setValue("Left", 20);
            store->setValue("Width", 480);
            store->setValue("Height", 400);
        }
        {
            apptest::WindowUnderTest w;
            QVERIFY(w.show());
            QCOMPARE(w.window.frameGeometry(), QRect(20, 30, 480, 400));
            w.window.showMaximized();
            QTRY_VERIFY(w.window.isMaximized());
            QVERIFY(w.window.close());
        }
        {
            auto store = settings_.open();
            QCOMPARE(store->value("WindowState").toInt(), 2);
            QCOMPARE(store->value("Top").toInt(), 30);
            QCOMPARE(store->value("Left").toInt(), 20);
            QCOMPARE(store->value("Width").toInt(), 480);
            QCOMPARE(store->value("Height").toInt(), 400);
        }
        // The next start restores that placement and then maximises.
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        QTRY_VERIFY(w.window.isMaximized());
    }

    void storedSizesPassThroughTheMinimumSize() {
        {
            auto store = settings_.open();
            store->setValue("Width", 200);
            store->setValue("Height", 100);
        }
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        QCOMPARE(w.window.frameGeometry().size(), QSize(370, 380));
    }

    void anyNonZeroBooleanReadsAsTicked() {
        {
            auto store = settings_.open();
            store->setValue("FastCheck", 5);
            store->setValue("Continue", 0);
            store->setValue("Details", -1);
        }
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        QVERIFY(w.window.cbFastCheck->isChecked());
        QVERIFY(!w.window.cbContinue->isChecked());
        QVERIFY(w.window.cbDetails->isChecked());
        QVERIFY(w.window.cbCountFr->isChecked());  // missing: unchanged
    }

    void installSurvivesASecondClose() {
        const QByteArray first = installStamp(45000.25);
        settings_.open()->setValue("Install", first);
        for (int run = 0; run < 2; ++run) {
            apptest::WindowUnderTest w;
            QVERIFY(w.show());
            QVERIFY(w.window.close());
        }
        QCOMPARE(settings_.open()->value("Install").toByteArray(), first);
        QCOMPARE(*installDays(first), 45000.25);
        QCOMPARE(first.at(7), char(0x40));  // little-endian: the exponent byte comes last
    }

    void aWrongTypeStopsReadingAtThatValue() {
        {
            auto store = settings_.open();
            store->setValue("Width", 500);
            store->setValue("TreeWidth", QStringLiteral("wide"));
            store->setValue("AudioExt", QStringLiteral("ac3"));
            store->setValue("FastCheck", 0);
        }
        QString message;
        catchMessage(&message);
        apptest::WindowUnderTest w;
        w.window.show();  // the message box takes the activation
        QTRY_VERIFY(!message.isEmpty());
        QVERIFY2(message.contains(QStringLiteral("\"TreeWidth\"")), qPrintable(message));
        QCOMPARE(w.window.frameGeometry().width(), 500);              // read before it
        QCOMPARE(w.window.eAudioExt->text(), QStringLiteral("mpa"));  // not read
        QVERIFY(w.window.cbFastCheck->isChecked());
        // The stream boxes are still reset after the message.
        QCOMPARE(w.window.cbVideo0->text(), QStringLiteral("No video stream"));
    }

    void aStringStoredAsOtherDataIsAWrongTypeToo() {
        settings_.open()->setValue("VideoExt", QByteArray("m2v"));
        QString message;
        catchMessage(&message);
        apptest::WindowUnderTest w;
        w.window.show();  // the message box takes the activation
        QTRY_VERIFY(message.contains(QStringLiteral("\"VideoExt\"")));
        QCOMPARE(w.window.eVideoExt->text(), QStringLiteral("mpv"));
    }

    void laterActivationsReadNothingAndKeepTheListedBoxes() {
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        w.window.showPage(Page::Options);
        QTest::mouseClick(w.window.cbFastCheck, Qt::LeftButton, {}, kOnTick);
        QVERIFY(!w.window.cbFastCheck->isChecked());
        QVERIFY(apptest::dropFiles(&w.window, {QStringLiteral("/disc/HVDVD_TS/FEATURE_1.EVO")}));
        w.session.lastScan.slotTable.clear();
        w.session.lastScan.slotTable.ids(SlotKind::Audio)[9] = 0xC9;
        ListFoundStreams(w.window, w.session.lastScan.slotTable);
        {
            // Values another instance stored meanwhile are not read again either.
            auto store = settings_.open();
            store->setValue("FastCheck", 1);
            store->setValue("VideoExt", QStringLiteral("zzz"));
        }

        apptest::onNextModal([](QWidget* modal) { modal->close(); });
        QTest::mouseClick(w.window.bbEVO, Qt::LeftButton);
        QVERIFY(apptest::reactivate(w.window));

        QVERIFY(!w.window.cbFastCheck->isChecked());
        QCOMPARE(w.window.eVideoExt->text(), QStringLiteral("mpv"));
        QCOMPARE(w.window.cbAudio09->text(), QStringLiteral("DD+.stream.09"));
        QVERIFY(w.window.cbAudio09->isEnabled());
        QVERIFY(w.window.cbAudio09->isChecked());
        QVERIFY(w.window.bDemux->isEnabled());
    }

    void anUnwritableStoreIsSkippedSilently() {
        // A file where the organisation's folder should be: the store cannot be created.
        testing::TempDir blocked;
        testing::writeFileBytes(blocked.file(kSettingsOrganisation), {'x'});
        apptest::TemporarySettings::usePath(QString::fromStdString(blocked.path()));
        bool askedOrWarned = false;
        QPointer<QTimer> watcher = apptest::onNextModal([&](QWidget* modal) {
            askedOrWarned = true;
            modal->close();
        });
        {
            apptest::WindowUnderTest w;
            QVERIFY(w.show());
            QVERIFY(w.window.close());
            QVERIFY(!w.window.isVisible());
        }
        QTest::qWait(50);
        delete watcher;
        QVERIFY(!askedOrWarned);
        QCOMPARE(testing::readFileBytes(blocked.file(kSettingsOrganisation)),
                 std::vector<uint8_t>{'x'});
    }

  private:
    apptest::TemporarySettings settings_;
};

}  // namespace
}  // namespace morvale

QTEST_MAIN(morvale::SettingsTest)
#include "settings_test.moc"
