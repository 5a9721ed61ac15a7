// The main window's menu commands over a real window and database: what is enabled, what each
// command opens, and what the two ways of ending the program leave in the settings file.

#include "TunerFixture.h"
#include "app/Application.h"
#include "app/PlainText.h"
#include "dialogs/HelpWindow.h"
#include "dialogs/frmAbout.h"
#include "dialogs/frmOptions.h"
#include "exchange/frmExport.h"
#include "exchange/frmImport.h"
#include "maintenance/frmCategory.h"
#include "maintenance/frmStation.h"
#include "maintenance/frmViewCategory.h"

#include <QMenu>
#include <QTextBrowser>
#include <functional>

namespace {

QList<HelpWindow *> helpWindows()
{
    QList<HelpWindow *> found;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *help = qobject_cast<HelpWindow *>(widget); help && help->isVisible())
            found << help;
    return found;
}

// The labels of root that would take their text for markup, and the tool tips that would show
// markup (made otherwise than by PlainText::toolTip), by object name.
QStringList notPlain(QWidget *root)
{
    QStringList found;
    QList<QWidget *> widgets = root->findChildren<QWidget *>();
    widgets.prepend(root);
    for (QWidget *widget : widgets) {
        if (auto *label = qobject_cast<QLabel *>(widget); label && label->textFormat() != Qt::PlainText)
            found << "label " + label->objectName() + ": " + label->text();
        const QString tip = widget->toolTip();
        if (PlainText::toolTip(PlainText::fromToolTip(tip)) != tip)
            found << "tool tip of " + widget->objectName() + ": " + tip;
    }
    return found;
}

// What a modal window looked like while it was open.
struct Opened
{
    QPointer<QWidget> window;
    bool modal = false;
    QWidget *owner = nullptr;
    QString caption;
    QStringList notPlain;
};

// Closes the next modal window by its close box as soon as it shows, noting what it was.
// The watch ends with `scope` when no window came.
void closeNextModal(Opened &seen, QObject *scope)
{
    auto *poll = new QTimer(scope);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, &seen] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        seen.window = modal;
        seen.modal = modal->isModal();
        seen.owner = modal->parentWidget();
        seen.caption = modal->windowTitle();
        seen.notPlain = notPlain(modal);
        poll->deleteLater();
        modal->close();
    });
    poll->start(10);
}

} // namespace

class TestMenus : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { startTests(); }
    void init()
    {
        MsgBox::takeShown();
        Shell::setRecording(true);
    }

    void enabledStatesAndWebPage();
    void f1ShowsTheHelpWithTheMenuClosed();
    void exitSavesNothingTheCloseBoxSavesBoth();
    void bannerCommand();
    void windowCommandsOpenModallyAndRebuildTheList();
    void onlineHelpOpensAnAddressPingDoesNothing();
    void everyLabelAndToolTipShowsPlainText();
};

void TestMenus::enabledStatesAndWebPage()
{
    Radio radio;
    frmMain &w = *radio.window;

    // Every item the user sees is usable except Web Page, which waits for the first tuning, and
    // Full Screen, which waits for a picture.
    for (QMenu *menu : {w.mnuFile, w.mnuEdit, w.mnuView, w.mnuHelp}) {
        QVERIFY(menu->menuAction()->isEnabled() && menu->menuAction()->isVisible());
        for (QAction *a : menu->actions())
            if (!a->isSeparator() && a->isVisible())
                QVERIFY2(a->isEnabled() == (a != w.mnuViewWebPage && a != w.mnuViewFullScreen),
                         qPrintable(a->objectName()));
    }
    QCOMPARE(w.mnuHelpHelp->shortcut(), QKeySequence(Qt::Key_F1));

    // Grey, the command opens nothing even when triggered from code.
    w.mnuViewWebPage->trigger();
    QVERIFY(Shell::opened().isEmpty());

    doubleClickEntry(w, "WJZZ");
    QVERIFY(w.mnuViewWebPage->isEnabled());
    w.mnuViewWebPage->trigger();
    QCOMPARE(Shell::opened(), QStringList({"http://wjzz.example/"}));

    // The list's current station counts, not the one playing; a preset press changes neither.
    clickEntry(w, "Pop One");
    w.Preset[3]->click();
    QVERIFY(w.mnuViewWebPage->isEnabled());
    QCOMPARE(w.DBList1->Text(), QString("Pop One"));
    w.mnuViewWebPage->trigger();
    QCOMPARE(Shell::opened().last(), QString("http://popone.example/"));

    // A selected station without a page: nothing is opened and nothing is said.
    clickEntry(w, "Zed Pop");
    w.mnuViewWebPage->trigger();
    QCOMPARE(Shell::opened().size(), 2);

    // Tuning a station without a page greys the command again.
    doubleClickEntry(w, "Blue Note");
    QVERIFY(!w.mnuViewWebPage->isEnabled());
    QVERIFY(MsgBox::takeShown().isEmpty());
}

void TestMenus::f1ShowsTheHelpWithTheMenuClosed()
{
    // Without a help file the key does nothing visible and reports nothing.
    {
        Radio radio;
        frmMain &w = *radio.window;
        QTest::keyClick(&w, Qt::Key_F1);
        QVERIFY(helpWindows().isEmpty());
        QVERIFY(MsgBox::takeShown().isEmpty());
    }

    Radio radio;
    frmMain &w = *radio.window;
    radio.dir.writeFile(HelpWindow::FileName,
                        "<html><head><title>Help</title></head><body><h1>Using the tuner</h1></body></html>");
    w.activateWindow();
    QVERIFY(!w.mnuHelp->isVisible());
    QTest::keyClick(&w, Qt::Key_F1);
    QTRY_COMPARE(helpWindows().size(), 1);
    QVERIFY(helpWindows().first()->browser()->toPlainText().contains("Using the tuner"));
    QVERIFY(!QApplication::activeModalWidget());

    // Again: the same window comes forward, no second one.
    w.mnuHelpHelp->trigger();
    QCOMPARE(helpWindows().size(), 1);
    helpWindows().first()->close();
}

void TestMenus::exitSavesNothingTheCloseBoxSavesBoth()
{
    const QByteArray ini = iniText("Jazz", "True");
    {
        Radio radio(ini);
        frmMain &w = *radio.window;
        Module1::ViewCategories = "Pop, Talk";
        w.mnuViewBanner->trigger();
        QVERIFY(!w.mnuViewBanner->isChecked());
        w.mnuFileExit->trigger();
        QVERIFY(!w.isVisible());
        QCOMPARE(radio.dir.readFile("Tuner.ini"), ini);
    }
    {
        Radio radio(ini);
        frmMain &w = *radio.window;
        Module1::ViewCategories = "Pop, Talk";
        w.mnuViewBanner->trigger();
        QVERIFY(w.close());
        QCOMPARE(radio.dir.readFile("Tuner.ini"), iniText("Pop, Talk", "False"));
    }
}

void TestMenus::bannerCommand()
{
    Radio radio(iniText("Jazz", "True"));
    frmMain &w = *radio.window;
    const int width = w.width();

    w.mnuViewBanner->trigger();
    QVERIFY(!w.mnuViewBanner->isChecked());
    QVERIFY(!w.picBanner->isVisible());
    QCOMPARE(w.Height(), 3345);
    const int shortHeight = w.height();

    w.mnuViewBanner->trigger();
    QVERIFY(w.mnuViewBanner->isChecked());
    QVERIFY(w.picBanner->isVisible());
    QCOMPARE(w.Height(), 4155);
    QVERIFY(w.height() > shortHeight);
    QCOMPARE(w.width(), width);
    // The strip sits on the status bar again.
    QCOMPARE(w.picBanner->mapTo(&w, QPoint(0, w.picBanner->height())).y(), w.StatusBar1->y());

    // Loaded without the banner (the shorter start-up height), the command grows the window.
    Radio plain(iniText("Jazz", "False"));
    QCOMPARE(plain.window->Height(), 3225);
    plain.window->mnuViewBanner->trigger();
    QCOMPARE(plain.window->Height(), 4155);
    QVERIFY(plain.window->picBanner->isVisible());
    QVERIFY(plain.window->close());
    QVERIFY(plain.dir.readFile("Tuner.ini").contains("ShowBanner=True\r\n"));
}

void TestMenus::windowCommandsOpenModallyAndRebuildTheList()
{
    Radio radio;
    frmMain &w = *radio.window;

    struct Command
    {
        QAction *action;
        std::function<bool(QWidget *)> isExpected;
    };
    const QList<Command> commands = {
        {w.mnuFileImport, [](QWidget *x) { return qobject_cast<frmImport *>(x); }},
        {w.mnuFileExport, [](QWidget *x) { return qobject_cast<frmExport *>(x); }},
        {w.mnuEditRadioStations, [](QWidget *x) { return qobject_cast<frmStation *>(x); }},
        {w.mnuEditCategories, [](QWidget *x) { return qobject_cast<frmCategory *>(x); }},
        {w.mnuViewCategories, [](QWidget *x) { return qobject_cast<frmViewCategory *>(x); }},
        {w.mnuViewOptions, [](QWidget *x) { return qobject_cast<frmOptions *>(x); }},
        {w.mnuHelpAbout, [](QWidget *x) { return qobject_cast<frmAbout *>(x); }},
    };

    int added = 0;
    for (const Command &command : commands) {
        const QString name = command.action->objectName();
        QPointer<QWidget> first;
        for (int round = 0; round < 2; ++round) {
            // Move away from the first station and change the table behind the window's back.
            clickEntry(w, "Zed Pop");
            QCOMPARE(w.DBList1->Text(), QString("Zed Pop"));
            const QString newcomer = QStringLiteral("Aa %1").arg(++added, 2, 10, QChar('0'));
            radio.dir.addStation(newcomer, "Jazz", stream("new"), "FM", "90", "Here");

            Opened seen;
            QObject scope;
            closeNextModal(seen, &scope);
            command.action->trigger();
            QVERIFY2(seen.window, qPrintable(name));
            QVERIFY2(command.isExpected(seen.window), qPrintable(name));
            QVERIFY2(seen.modal && seen.owner == &w, qPrintable(name));
            QVERIFY2(!seen.window->isVisible(), qPrintable(name));
            // One window object per command for the whole run.
            if (round == 0)
                first = seen.window;
            else
                QVERIFY2(seen.window == first, qPrintable(name));

            // The list is read again (the newcomer is in it) and stands on its first station.
            QVERIFY2(listed(w).contains(newcomer), qPrintable(name));
            QCOMPARE(listed(w).first(), QString("Aa 01"));
            QCOMPARE(w.DBList1->Text(), QString("Aa 01"));
            QCOMPARE(w.lblLocation->text(), QString("Here"));
        }
    }
    QVERIFY(MsgBox::takeShown().isEmpty());
}

void TestMenus::onlineHelpOpensAnAddressPingDoesNothing()
{
    Radio radio;
    frmMain &w = *radio.window;
    w.mnuHelpOnlineHelp->trigger();
    QCOMPARE(Shell::opened().size(), 1);
    const QUrl page(Shell::opened().first());
    QVERIFY(page.isValid());
    QCOMPARE(page.scheme(), QString("https"));
    QVERIFY(!page.host().isEmpty());

    clickEntry(w, "Zed Pop");
    const QStringList before = listed(w);
    w.mnuViewPing->trigger();
    QVERIFY(!QApplication::activeModalWidget());
    QCOMPARE(listed(w), before);
    QCOMPARE(w.DBList1->Text(), QString("Zed Pop")); // no activation ran
    QCOMPARE(Shell::opened().size(), 1);
    QVERIFY(MsgBox::takeShown().isEmpty());
}

void TestMenus::everyLabelAndToolTipShowsPlainText()
{
    // Markup in every field of a station, a category and a preset, shown in the main window
    // and each of its windows: no label or tool tip may take it for rich text.
    const QString markup = "<b>x</b> <img src=/dev/zero> &amp;";
    Radio radio(iniText("Jazz, <b>x</b>"), 10,
                QString("INSERT INTO Station VALUES ('%1', '<i>1', 'FM', '<u>', '%1', '<a href=x>', '<b>x</b>', '%1');"
                        "INSERT INTO Category VALUES ('<b>x</b>', '%1'), ('Jazz', '<h1>Jazz');"
                        "UPDATE Preset SET SName = '%1'")
                    .arg(markup.left(30)));
    frmMain &w = *radio.window;
    clickEntry(w, markup.left(30));
    QCOMPARE(w.lblLocation->text(), markup.left(30));
    QCOMPARE(notPlain(&w), QStringList());
    for (QAction *command : {w.mnuFileImport, w.mnuFileExport, w.mnuEditRadioStations, w.mnuEditCategories,
                             w.mnuViewCategories, w.mnuViewOptions, w.mnuHelpAbout}) {
        clickEntry(w, markup.left(30));
        Opened seen;
        QObject scope;
        closeNextModal(seen, &scope);
        command->trigger();
        QVERIFY2(seen.window, qPrintable(command->objectName()));
        QCOMPARE(seen.notPlain, QStringList());
    }
}

int main(int argc, char **argv)
{
    Application app(argc, argv);
    TestMenus test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_menus.moc"
