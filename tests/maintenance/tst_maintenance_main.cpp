// The maintenance windows opened modally over the real main window: its list shows their
// changes once they close.
#include "TestAppDir.h"
#include "app/Application.h"
#include "app/Module1.h"
#include "app/MsgBox.h"
#include "data/BoundControls.h"
#include "data/DataControl.h"
#include "maintenance/frmStation.h"
#include "maintenance/frmViewCategory.h"
#include "player/Player.h"
#include "tuner/frmMain.h"

#include <QAction>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <functional>

namespace {

QStringList listed(const frmMain &w)
{
    QStringList names;
    for (int i = 0; i < w.DBList1->ListCount(); ++i)
        names << w.DBList1->List(i);
    return names;
}

// Runs the menu command and, while the window it opens modally is up, steps that close it.
template <typename Window> void whileOpen(QAction *command, const std::function<void(Window &)> &steps)
{
    bool ran = false;
    QTimer::singleShot(0, [&] {
        auto *window = qobject_cast<Window *>(QApplication::activeModalWidget());
        QVERIFY(window);
        steps(*window);
        ran = true;
        if (window->isVisible()) {
            QWARN("the steps left the window open");
            window->reject();
        }
    });
    command->trigger();
    QVERIFY(ran);
}

void click(QAbstractButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton);
}

} // namespace

class TestMaintenanceMain : public QObject
{
    Q_OBJECT
private slots:
    void theMainListShowsTheChanges();
};

void TestMaintenanceMain::theMainListShowsTheChanges()
{
    Player::setDefaultOption("ao", "null");
    Player::setDefaultOption("vo", "null");
    MsgBox::setRecording(true);
    TestAppDir dir(TestAppDir::EmptyTables, "DataBase=Halcyrix.db\r\nShowBanner=False\r\nCategories=Jazz\r\n");
    dir.exec("insert into Category (Name) values ('Jazz'), ('Latin')");
    dir.addStation("Blue Note", "Jazz");
    dir.addStation("WJZZ", "Jazz");
    dir.addStation("Salsa Uno", "Latin");
    Module1::RadioMode = true;
    frmMain w;
    w.Form_Load();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    // The editor starts on the station picked in the main list and shares its record set.
    QTest::keyClick(w.DBList1, Qt::Key_Down);
    const frmStation *first = nullptr;
    whileOpen<frmStation>(w.mnuEditRadioStations, [&](frmStation &editor) {
        first = &editor;
        QCOMPARE(editor.txtFields[0]->text(), QString("WJZZ"));
        QCOMPARE(editor.datPrimaryRS->Recordset(), w.Data1->Recordset());
        click(editor.datPrimaryRS->firstButton());
        click(editor.cmdAdd);
        QTest::keyClicks(editor.txtFields[0], "Cool Jazz");
        editor.DBCombo1->setCurrentIndex(editor.DBCombo1->findText("Jazz"));
        click(editor.cmdUpdate);
        click(editor.cmdClose);
    });
    QCOMPARE(listed(w), QStringList({"Blue Note", "Cool Jazz", "WJZZ"}));
    QCOMPARE(w.DBList1->Text(), QString("Blue Note"));

    // The same editor, which remembers a new row was begun, saves at its second opening.
    whileOpen<frmStation>(w.mnuEditRadioStations, [&](frmStation &editor) {
        QCOMPARE(&editor, first);
        QVERIFY(editor.AddingRecord);
        click(editor.datPrimaryRS->lastButton());
        editor.txtFields[0]->selectAll();
        QTest::keyClicks(editor.txtFields[0], "WJZZ Jazz");
        click(editor.cmdUpdate);
        click(editor.cmdClose);
    });
    QCOMPARE(listed(w), QStringList({"Blue Note", "Cool Jazz", "WJZZ Jazz"}));

    whileOpen<frmViewCategory>(w.mnuViewCategories, [&](frmViewCategory &view) {
        click(view.Command1);
        click(view.Command6);
    });
    QCOMPARE(listed(w), QStringList({"Blue Note", "Cool Jazz", "Salsa Uno", "WJZZ Jazz"}));
    QCOMPARE(MsgBox::takeShown(), QStringList());
}

int main(int argc, char **argv)
{
    Application app(argc, argv);
    TestMaintenanceMain test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_maintenance_main.moc"
