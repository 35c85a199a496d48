// SPDX-License-Identifier: MIT
// The window while a command runs: every other command, the browse buttons, drops and the
// stream boxes are locked; closing the window stops the run like Cancel.

#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>

#include "controls/command_buttons.h"
#include "window_test_support.h"

namespace morvale {
namespace {

constexpr StreamBox kAudio00{BoxPage::Audio, 0};

// Answers the next question box with `answer` and keeps its title and text.
void answerQuestion(QMessageBox::StandardButton answer, QString* title, QString* text) {
    apptest::onNextMessageBox([=](QMessageBox* box) {
        *title = box->windowTitle();
        *text = box->text();
        box->button(answer)->click();
    });
}

class CommandRunTest : public QObject {
    Q_OBJECT

  private slots:
    void init() { settings_.clear(); }

    void lockingKeepsEverythingButCancelFromBeingUsed() {
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        TfMain& window = w.window;
        window.setEnabled(Button::Check, true);
        window.setEnabled(Button::ReadXpl, true);
        window.setBoxEnabled(kAudio00, true);
        window.setLocked(true);
        // What a running Demux does meanwhile: the logical states change, the widgets
        // stay locked.
        window.setEnabled(Button::Cancel, true);
        window.setEnabled(Button::Demux, true);
        window.setEnabled(Button::Check, false);

        for (QPushButton* button : {window.bCheck, window.bReadXPL, window.bDemux, window.bRebuild,
                                    window.bbEVO, window.bbXPL}) {
            QVERIFY2(!button->isEnabled(), qPrintable(button->objectName()));
        }
        QVERIFY(window.bCancel->isEnabled());
        QVERIFY(!window.cbAudio00->isEnabled());
        QVERIFY(window.isEnabled(Button::Demux));
        QVERIFY(window.isEnabled(Button::ReadXpl));
        QVERIFY(!window.isEnabled(Button::Check));
        QVERIFY(window.boxEnabled(kAudio00));

        QSignalSpy browse(window.bbEVO, &QPushButton::clicked);
        QTest::mouseClick(window.bbEVO, Qt::LeftButton);
        QCOMPARE(browse.count(), 0);
        window.showPage(Page::Audio);
        QTest::mouseClick(window.cbAudio00, Qt::LeftButton);
        QVERIFY(!window.cbAudio00->isChecked());
        QVERIFY(!apptest::dropFiles(&window, {QStringLiteral("/d/HVDVD_TS/FEATURE_1.EVO")}));
        QCOMPARE(window.eEVOfile->text(), QString());
        // The options and the stream pages can be looked at, not changed.
        const QList<QWidget*> options = {window.eWorkdir, window.bbWorkdir, window.eVideoExt,
                                         window.cbDetails, window.cbFastCheck};
        for (QWidget* control : options + QList<QWidget*>{window.cbVideo0, window.cbSub00})
            QVERIFY2(!control->isEnabled(), qPrintable(control->objectName()));
        window.showPage(Page::Options);
        QTest::mouseClick(window.cbDetails, Qt::LeftButton, {}, QPoint(6, 8));
        QVERIFY(window.cbDetails->isChecked());
        QVERIFY(window.tsOption->isVisible());

        // Unlocking shows exactly what the commands set meanwhile.
        window.setLocked(false);
        QVERIFY(!window.bCheck->isEnabled());
        QVERIFY(window.bReadXPL->isEnabled());
        QVERIFY(window.bDemux->isEnabled());
        QVERIFY(!window.bRebuild->isEnabled());
        QVERIFY(window.bbEVO->isEnabled() && window.bbXPL->isEnabled());
        QVERIFY(window.bCancel->isEnabled());
        QVERIFY(window.cbAudio00->isEnabled());
        for (QWidget* control : options)
            QVERIFY2(control->isEnabled(), qPrintable(control->objectName()));
        QVERIFY(apptest::dropFiles(&window, {QStringLiteral("/d/HVDVD_TS/FEATURE_1.EVO")}));
        QCOMPARE(window.eEVOfile->text(), QStringLiteral("/d/HVDVD_TS/FEATURE_1.EVO"));
    }

    void aCommandRunLocksTheWindowForItsLength() {
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        w.window.setEnabled(Button::Check, true);
        bool lockedDuringRun = false;
        bool secondCommandRan = false;
        w.window.runCommand([&](Session& session, Form& form) {
            CommandRun run(session, form);
            lockedDuringRun = !w.window.bCheck->isEnabled() && w.window.locked();
            // A second command reached through the event pump does nothing.
            w.window.runCommand([&](Session& s, Form& f) {
                CommandRun nested(s, f);
                secondCommandRan = nested.started();
            });
            QVERIFY(w.window.isVisible());
        });
        QVERIFY(lockedDuringRun);
        QVERIFY(!secondCommandRan);
        QVERIFY(!w.window.locked());
        QVERIFY(w.window.bCheck->isEnabled());
    }

    void closingDuringAWritingRunAsksAndYesStopsItAndClosesAfterwards() {
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        w.window.eVideoExt->setText(QStringLiteral("m2v"));
        QString title, text;
        bool visibleAfterAnswer = false;
        w.window.runCommand([&](Session& session, Form& form) {
            CommandRun run(session, form);
            session.control.confirmCancel = true;  // a Demux writes files
            answerQuestion(QMessageBox::Yes, &title, &text);
            w.window.close();  // as the window manager's close button would
            visibleAfterAnswer = w.window.isVisible();
            QVERIFY(session.control.cancelRequested);
            QVERIFY(w.window.closePending());
            // The settings are stored at once.
            QCOMPARE(settings_.open()->value("VideoExt").toString(), QStringLiteral("m2v"));
        });
        QCOMPARE(title, QStringLiteral("Confirm"));
        QCOMPARE(text, QStringLiteral("Are you sure to stop demuxing?"));
        QVERIFY(visibleAfterAnswer);
        QVERIFY(!w.window.isVisible());
    }

    void closingDuringARunAnsweredNoKeepsTheWindowOpen() {
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        QString title, text;
        w.window.runCommand([&](Session& session, Form& form) {
            CommandRun run(session, form);
            session.control.confirmCancel = true;
            answerQuestion(QMessageBox::No, &title, &text);
            w.window.close();
            QVERIFY(!session.control.cancelRequested);
            QVERIFY(!w.window.closePending());
        });
        QCOMPARE(text, QStringLiteral("Are you sure to stop demuxing?"));
        QVERIFY(w.window.isVisible());
        QVERIFY(!QFile::exists(settings_.file()));  // nothing stored yet
        QVERIFY(w.window.close());
        QVERIFY(QFile::exists(settings_.file()));
    }

    void closingDuringAScanStopsItWithoutAQuestion() {
        apptest::WindowUnderTest w;
        QVERIFY(w.show());
        QPointer<QTimer> watcher = apptest::onNextModal([](QWidget* modal) {
            QFAIL("no question expected");
            modal->close();
        });
        w.window.runCommand([&](Session& session, Form& form) {
            CommandRun run(session, form);
            session.control.confirmCancel = false;
            w.window.close();
            QVERIFY(session.control.cancelRequested);
            QVERIFY(w.window.isVisible());
        });
        delete watcher;
        QVERIFY(!w.window.isVisible());
        QVERIFY(QFile::exists(settings_.file()));
    }

  private:
    apptest::TemporarySettings settings_;
};

}  // namespace
}  // namespace morvale

QTEST_MAIN(morvale::CommandRunTest)
#include "command_run_test.moc"
