// The maintenance windows opened modally over the real main window: the main list shows
// their changes once they close.
#include "TestAppDir.h"
#include "app/Application.h"
#include "app/Module1.h"
#include "app/MsgBox.h"
#include "app/Shell.h"
#include "data/BoundControls.h"
#include "data/DataControl.h"
#include "data/Recordset.h"
#include "maintenance/frmCategory.h"
#include "maintenance/frmStation.h"
#include "maintenance/frmViewCategory.h"
#include "player/Player.h"
#include "tuner/frmMain.h"

#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <functional>
#include <memory>

namespace {

QStringList listed(const frmMain &w)
{
    QStringList names;
    for (int i = 0; i < w.DBList1->ListCount(); ++i)
        names << w.DBList1->List(i);
    return names;
}

// Opens the dialog as the menu commands do and runs steps while it is open; the steps end
// by closing it. Fails when the dialog is still open afterwards.
void whileOpen(frmMain &w, QDialog &dialog, const std::function<void()> &steps)
{
    bool ran = false;
    QTimer::singleShot(0, &dialog, [&] {
        steps();
        ran = true;
        if (dialog.isVisible()) {
            QWARN("the steps left the dialog open");
            dialog.reject();
        }
    });
    w.runModal(dialog);
    QVERIFY(ran);
}

void click(QAbstractButton *button) { QTest::mouseClick(button, Qt::LeftButton); }

} // namespace

class TestMaintenanceMain : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        Player::setDefaultOption(QStringLiteral("ao"), QStringLiteral("null"));
        Player::setDefaultOption(QStringLiteral("vo"), QStringLiteral("null"));
        MsgBox::setRecording(true);
        Shell::setRecording(true);
    }
    void theMainListShowsTheChangesOfEachDialog();
};

void TestMaintenanceMain::theMainListShowsTheChangesOfEachDialog()
{
    TestAppDir dir(TestAppDir::EmptyTables, "DataBase=Halcyrix.db\r\nShowBanner=False\r\nCategories=Jazz\r\n");
    dir.exec("insert into Category (Name) values ('Jazz'), ('Pop')");
    dir.addStation("Blue Note", "Jazz");
    dir.addStation("WJZZ", "Jazz");
    dir.addStation("Pop One", "Pop");

    Module1::RadioMode = true;
    frmMain w;
    w.Form_Load();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(listed(w), QStringList({"Blue Note", "WJZZ"}));

    // The user picks a station in the main list, then edits stations.
    QTest::keyClick(w.DBList1, Qt::Key_Down);
    frmStation editor(w.Data1, &w);
    whileOpen(w, editor, [&] {
        QCOMPARE(editor.txtFields[0]->text(), QString("WJZZ"));
        QCOMPARE(editor.datPrimaryRS->Recordset(), w.Data1->Recordset());
        click(editor.datPrimaryRS->firstButton());
        QCOMPARE(editor.txtFields[0]->text(), QString("Blue Note"));
        click(editor.cmdAdd);
        QTest::keyClicks(editor.txtFields[0], "Cool Jazz");
        editor.DBCombo1->setCurrentIndex(editor.DBCombo1->findText("Jazz"));
        click(editor.cmdUpdate);
        QCOMPARE(editor.datPrimaryRS->Caption(), QString("Station: 3 of 3"));
        click(editor.cmdClose);
    });
    QCOMPARE(MsgBox::takeShown(), QStringList());
    QCOMPARE(listed(w), QStringList({"Blue Note", "Cool Jazz", "WJZZ"}));
    QCOMPARE(w.DBList1->Text(), QString("Blue Note"));

    // The same editor saves again at its second opening.
    whileOpen(w, editor, [&] {
        click(editor.datPrimaryRS->lastButton());
        editor.txtFields[0]->selectAll();
        QTest::keyClicks(editor.txtFields[0], "WJZZ Jazz");
        click(editor.cmdUpdate);
        click(editor.cmdClose);
    });
    QCOMPARE(MsgBox::takeShown(), QStringList());
    QCOMPARE(listed(w), QStringList({"Blue Note", "Cool Jazz", "WJZZ Jazz"}));

    // A new category, then chosen for viewing: its stations join the list.
    dir.addStation("Salsa Uno", "Latin");
    frmCategory categories(&w);
    whileOpen(w, categories, [&] {
        click(categories.cmdAdd);
        QTest::keyClicks(categories.txtFields[0], "Latin");
        click(categories.cmdUpdate);
        click(categories.cmdClose);
    });
    QCOMPARE(listed(w), QStringList({"Blue Note", "Cool Jazz", "WJZZ Jazz"}));
    frmViewCategory view(&w);
    whileOpen(w, view, [&] {
        QCOMPARE(frmViewCategory::entries(view.List1), QStringList({"Latin", "Pop"}));
        view.List1->item(0)->setSelected(true);
        click(view.Command2);
        click(view.Command6);
    });
    QCOMPARE(Module1::ViewCategories, QString("Jazz, Latin"));
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
