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

// Opens the dialog as the menu commands do and runs steps, which close it, while it is open.
void whileOpen(frmMain &w, QDialog &dialog, const std::function<void()> &steps)
{
    QTimer::singleShot(0, &dialog, [&] {
        steps();
        if (dialog.isVisible()) {
            QWARN("the steps left the dialog open");
            dialog.reject();
        }
    });
    w.runModal(dialog);
}

void click(QAbstractButton *button) { QTest::mouseClick(button, Qt::LeftButton); }

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
    frmStation editor(w.Data1, &w);
    whileOpen(w, editor, [&] {
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

    frmViewCategory view(&w);
    whileOpen(w, view, [&] {
        click(view.Command1);
        click(view.Command6);
    });
    QCOMPARE(listed(w), QStringList({"Blue Note", "Cool Jazz", "Salsa Uno", "WJZZ"}));
    QCOMPARE(MsgBox::takeShown(), QStringList());
}

int main(int argc, char **argv)
{
    Application app(argc, argv);
    TestMaintenanceMain test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_maintenance_main.moc"
