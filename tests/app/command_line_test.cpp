// SPDX-License-Identifier: MIT
// `morvale FILE`: the file named on the command line is chosen as a drop would choose it.

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include "app/command_line.h"
#include "window_test_support.h"

namespace morvale {
namespace {

class CommandLineTest : public QObject {
    Q_OBJECT

  private slots:
    // A relative path from the current folder becomes the source with its disc's playlist,
    // and the stored settings, read first, do not undo the choice of folder.
    void relativeSourceIsChosenAfterTheSettings() {
        apptest::TemporarySettings settings;
        settings.open()->setValue(QStringLiteral("EVOdir"), QStringLiteral("/stored/folder/"));
        testing::TempDir dir;
        const QString root = QString::fromStdString(dir.path());
        QDir().mkpath(root + QStringLiteral("disc/HVDVD_TS"));
        testing::writeFileBytes(dir.file("disc/HVDVD_TS/FEATURE_1.EVO"), {0x00, 0x00, 0x01, 0xBA});
        const QString previous = QDir::currentPath();
        QDir::setCurrent(root);

        apptest::WindowUnderTest w;
        w.window.show();
        openFromCommandLine(w.window, {QStringLiteral("disc/HVDVD_TS/FEATURE_1.EVO")});
        QDir::setCurrent(previous);
        QVERIFY(QTest::qWaitForWindowExposed(&w.window));
        QTest::qWait(50);  // let the window manager's activation arrive, if any

        QCOMPARE(w.window.eEVOfile->text(), root + QStringLiteral("disc/HVDVD_TS/FEATURE_1.EVO"));
        QCOMPARE(w.window.eXPLfile->text(), root + QStringLiteral("disc/ADV_OBJ/VPLST000.XPL"));
        QCOMPARE(w.session.selection.sourceBaseName, std::string("FEATURE_1"));
        QCOMPARE(QString::fromStdString(w.session.selection.evoFolder),
                 root + QStringLiteral("disc/HVDVD_TS/"));
        QVERIFY(w.window.bCheck->isEnabled());
        QVERIFY(w.window.bReadXPL->isEnabled());
        QCOMPARE(w.window.cbVideo0->text(), QStringLiteral("No video stream"));
    }

    // Without a file the window starts as it always does; a file of another kind is ignored
    // as a drop of it would be.
    void noFileOrAnotherKindChangesNothing() {
        apptest::TemporarySettings settings;
        apptest::WindowUnderTest w;
        w.window.show();
        openFromCommandLine(w.window, {});
        QVERIFY(w.window.eEVOfile->text().isEmpty());
        openFromCommandLine(w.window, {QStringLiteral("/tmp/notes.txt")});
        QVERIFY(w.window.eEVOfile->text().isEmpty());
        QVERIFY(!w.window.bCheck->isEnabled());
    }
};

}  // namespace
}  // namespace morvale

QTEST_MAIN(morvale::CommandLineTest)
#include "command_line_test.moc"
