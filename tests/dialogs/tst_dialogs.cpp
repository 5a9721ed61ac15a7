#include "TestAppDir.h"
#include "app/MsgBox.h"
#include "app/Screen.h"
#include "app/Shell.h"
#include "dialogs/HelpWindow.h"
#include "dialogs/SystemLookup.h"
#include "dialogs/frmAbout.h"
#include "dialogs/frmOptions.h"

#include <QCheckBox>
#include <QFile>
#include <QGuiApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>

namespace {

// A look-up holding fixed values (key, name), for the cases the system cannot be made to show.
class FixedLookup : public SystemLookup::Lookup
{
public:
    QMap<std::pair<QString, QString>, SystemLookup::Value> values;

    bool hasKey(std::uint32_t root, const QString &key) const override
    {
        const auto keys = values.keys();
        return root == SystemLookup::HKEY_LOCAL_MACHINE &&
               std::any_of(keys.begin(), keys.end(), [&](const auto &k) { return k.first == key; });
    }
    std::optional<SystemLookup::Value> value(std::uint32_t root, const QString &key, const QString &name) const override
    {
        if (!hasKey(root, key) || !values.contains({key, name}))
            return std::nullopt;
        return values.value({key, name});
    }
};

QByteArray dword(quint32 v)
{
    QByteArray d(4, '\0');
    for (int i = 0; i < 4; ++i)
        d[i] = char((v >> (8 * i)) & 0xFF);
    return d;
}

void writeScript(const QString &path, const QByteArray &body)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\n" + body + "\n");
    f.close();
    f.setPermissions(f.permissions() | QFile::ExeOwner | QFile::ExeUser);
}

int twips(int t)
{
    return Screen::twipsToPixels(t);
}

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        MsgBox::setRecording(true);
        Shell::setRecording(true);
        m_oldPath = qgetenv("PATH");
    }
    void init()
    {
        MsgBox::takeShown();
        Shell::setRecording(true);
        qputenv("PATH", m_oldPath);
        SystemLookup::setLookup(nullptr);
    }

    void optionsTabsAndPages();
    void optionsCtrlTabCyclesFromTheLastTab();
    void optionsApplyOkCancelAndEsc();
    void aboutTextsAndLinks();
    void systemInformationFoundOnPath();
    void systemInformationUnavailable();
    void numbersReadWithEveryHexDigit();
    void helpLoadsAndFollowsItsLinks();
    void helpFileLinksAllLeadSomewhere();
    void missingHelpFileIsPassedOverQuietly();

private:
    QByteArray m_oldPath;
};

void TestDialogs::optionsTabsAndPages()
{
    frmOptions dlg;
    QCOMPARE(dlg.windowTitle(), QString("Options"));
    QTabBar *tabs = dlg.findChild<QTabBar *>("tbsOptions");
    QVERIFY(tabs);
    QCOMPARE(tabs->count(), 4);
    const QStringList captions{"General", "Files", "Update", "Group 4"};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(tabs->tabText(i), captions[i]);
        QCOMPARE(tabs->tabData(i).toString(), QString("Group%1").arg(i + 1));
        QCOMPARE(tabs->tabToolTip(i), QString("Set Options for Group %1").arg(i + 1));
    }

    // At opening: the first tab, the first page at 195, the others far outside and still enabled.
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(dlg.picOptions[0]->x(), twips(195));
    for (int i = 1; i < 4; ++i) {
        QCOMPARE(dlg.picOptions[i]->x(), twips(-20000));
        QVERIFY(dlg.picOptions[i]->isEnabled());
    }

    // Centred on the screen.
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(dlg.x(), screen.left() + (screen.width() - dlg.width()) / 2);
    QCOMPARE(dlg.y(), screen.top() + (screen.height() - dlg.height()) / 2);

    // Clicking a tab brings its page in and sends every other one out, disabled.
    tabs->setCurrentIndex(2);
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(dlg.picOptions[i]->x(), twips(i == 2 ? 210 : -20000));
        QCOMPARE(dlg.picOptions[i]->y(), twips(480));
        QCOMPARE(dlg.picOptions[i]->isEnabled(), i == 2);
    }
    QVERIFY(dlg.findChild<QWidget *>("fraSample3")->isVisibleTo(dlg.picOptions[2]));
}

void TestDialogs::optionsCtrlTabCyclesFromTheLastTab()
{
    frmOptions dlg;
    dlg.show();
    QTabBar *tabs = dlg.tbsOptions;

    // The key reaches the window first, whichever control has the focus.
    QTest::keyClick(dlg.Check1, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(tabs->currentIndex(), 1);
    QTest::keyClick(dlg.cmdApply, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(tabs->currentIndex(), 2);
    QTest::keyClick(&dlg, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(tabs->currentIndex(), 3);
    QCOMPARE(tabs->tabText(3), QString("Group 4"));

    // From the fourth tab back to "General", with its page in place.
    QTest::keyClick(dlg.cmdOK, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(tabs->tabText(0), QString("General"));
    QCOMPARE(dlg.picOptions[0]->x(), twips(210));
    QVERIFY(dlg.picOptions[0]->isEnabled());
    QVERIFY(!dlg.picOptions[3]->isEnabled());

    // Ctrl+Shift+Tab, plain Tab and Alt+Tab are left to the controls.
    QTest::keyClick(dlg.cmdOK, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(dlg.cmdOK, Qt::Key_Tab);
    QTest::keyClick(dlg.cmdOK, Qt::Key_Tab, Qt::AltModifier);
    QCOMPARE(tabs->currentIndex(), 0);
    QVERIFY(!dlg.Form_KeyDown(9, 3));
    QVERIFY(!dlg.Form_KeyDown(65, 2));
}

void TestDialogs::optionsApplyOkCancelAndEsc()
{
    frmOptions dlg;
    dlg.show();
    for (QRadioButton *b : dlg.findChildren<QRadioButton *>())
        QVERIFY(!b->isChecked());
    QVERIFY(!dlg.Check1->isChecked() && !dlg.Check2->isChecked());

    // Apply: its message, the window stays open with the user's choices.
    dlg.Option1[2]->click();
    dlg.Option2[1]->click();
    dlg.Check2->click();
    QTest::mouseClick(dlg.cmdApply, Qt::LeftButton);
    QCOMPARE(MsgBox::takeShown(), QStringList{"Place code here to set options w/o closing dialog!"});
    QVERIFY(dlg.isVisible());
    QVERIFY(dlg.Option1[2]->isChecked() && dlg.Option2[1]->isChecked() && dlg.Check2->isChecked());

    // OK: its message, then the window closes; the next opening shows nothing chosen.
    QTest::mouseClick(dlg.cmdOK, Qt::LeftButton);
    QCOMPARE(MsgBox::takeShown(), QStringList{"Place code here to set options and close dialog!"});
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    dlg.show();
    QVERIFY(!dlg.Option1[2]->isChecked() && !dlg.Option2[1]->isChecked() && !dlg.Check2->isChecked());
    QCOMPARE(dlg.tbsOptions->currentIndex(), 0);

    frmOptions fresh;
    fresh.show();
    for (QRadioButton *b : fresh.findChildren<QRadioButton *>())
        QVERIFY(!b->isChecked());

    // Esc presses Cancel: closed at once, no message.
    fresh.tbsOptions->setCurrentIndex(3);
    QTest::keyClick(fresh.Check1, Qt::Key_Escape);
    QVERIFY(!fresh.isVisible());
    QCOMPARE(fresh.result(), int(QDialog::Rejected));
    QVERIFY(MsgBox::takeShown().isEmpty());
}

void TestDialogs::aboutTextsAndLinks()
{
    frmAbout about;
    QCOMPARE(about.windowTitle(), QString("About Halcyrix"));
    QCOMPARE(about.lblTitle->text(), QString("Halcyrix"));
    QCOMPARE(about.lblVersion->text(), QString("Version 3.0.17"));
    QCOMPARE(about.cmdSysInfo->text(), QString("&System Info..."));
    QCOMPARE(about.Label2->text(), QString("https://halcyrix.org/"));
    QCOMPARE(about.Label3->text(), QString("support@halcyrix.org"));

    about.show();
    QTest::mouseClick(about.Label2, Qt::LeftButton);
    QTest::mouseClick(about.Label3, Qt::LeftButton);
    QCOMPARE(Shell::opened(), (QStringList{"https://halcyrix.org/", "mailto:support@halcyrix.org"}));
    QTest::keyClick(about.Label2, Qt::Key_Space);
    QCOMPARE(Shell::opened().size(), 3);

    QTest::mouseClick(about.cmdOK, Qt::LeftButton);
    QVERIFY(!about.isVisible());
}

void TestDialogs::systemInformationFoundOnPath()
{
    QTemporaryDir bin, other;
    const QString marker = bin.filePath("started");
    // The first program of the preference order wins over a later one in an earlier folder.
    writeScript(other.filePath("kinfocenter"), "exit 0");
    writeScript(bin.filePath("hardinfo"), "echo started > '" + marker.toUtf8() + "'");
    QFile plain(bin.filePath("hardinfo2")); // not executable: not a program
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    qputenv("PATH", (other.path() + ":" + bin.path()).toUtf8());

    QString value = "old";
    QVERIFY(frmAbout::GetKeyValue(SystemLookup::HKEY_LOCAL_MACHINE, SystemLookup::SysInfoKey,
                                  SystemLookup::SysInfoValue, value));
    QCOMPARE(value, bin.filePath("hardinfo"));
    QVERIFY(frmAbout::GetKeyValue(SystemLookup::HKEY_LOCAL_MACHINE, SystemLookup::SysInfoLocKey,
                                  SystemLookup::SysInfoLocValue, value));
    QCOMPARE(value, QDir(bin.path()).absolutePath());

    frmAbout about;
    QTest::mouseClick(about.cmdSysInfo, Qt::LeftButton);
    QTRY_VERIFY(QFile::exists(marker));
    QVERIFY(MsgBox::takeShown().isEmpty());
}

void TestDialogs::systemInformationUnavailable()
{
    QTemporaryDir empty;
    qputenv("PATH", empty.path().toUtf8());
    QString value = "old";
    QVERIFY(!frmAbout::GetKeyValue(SystemLookup::HKEY_LOCAL_MACHINE, SystemLookup::SysInfoKey,
                                   SystemLookup::SysInfoValue, value));
    QCOMPARE(value, QString());

    frmAbout about;
    about.cmdSysInfo->click();
    QCOMPARE(MsgBox::takeShown(), QStringList{"System Information Is Unavailable At This Time"});

    // A path that is found but cannot be started ends in the same message.
    FixedLookup lookup;
    lookup.values[{SystemLookup::SysInfoKey, SystemLookup::SysInfoValue}] = {SystemLookup::REG_SZ,
                                                                             empty.filePath("gone").toUtf8() + '\0'};
    SystemLookup::setLookup(&lookup);
    about.cmdSysInfo->click();
    QCOMPARE(MsgBox::takeShown(), QStringList{"System Information Is Unavailable At This Time"});

    // Without the program's own key, its folder is searched for a known program.
    writeScript(empty.filePath("gnome-system-monitor"), "echo x > '" + empty.filePath("ran").toUtf8() + "'");
    lookup.values = {{{SystemLookup::SysInfoLocKey, SystemLookup::SysInfoLocValue},
                      {SystemLookup::REG_SZ, empty.path().toUtf8() + '\0'}}};
    about.cmdSysInfo->click();
    QTRY_VERIFY(QFile::exists(empty.filePath("ran")));
    QVERIFY(MsgBox::takeShown().isEmpty());
    SystemLookup::setLookup(nullptr);
}

void TestDialogs::numbersReadWithEveryHexDigit()
{
    FixedLookup lookup;
    const QString key = "SOFTWARE\\Test";
    const std::pair<QString, SystemLookup::Value> stored[] = {{"small", {SystemLookup::REG_DWORD, dword(0x0A0B0C0D)}},
                                                              {"high", {SystemLookup::REG_DWORD, dword(0x1234)}},
                                                              {"zero", {SystemLookup::REG_DWORD, dword(0)}},
                                                              {"full", {SystemLookup::REG_DWORD, dword(0xFFFFFFFF)}},
                                                              {"text", {SystemLookup::REG_SZ, QByteArray("abc\0", 4)}},
                                                              {"binary", {3, QByteArray("\x01\x02", 2)}}};
    for (const auto &[name, value] : stored)
        lookup.values[{key, name}] = value;
    SystemLookup::setLookup(&lookup);

    auto read = [&](const QString &name, QString start = QString()) {
        const bool ok = frmAbout::GetKeyValue(SystemLookup::HKEY_LOCAL_MACHINE, key, name, start);
        return ok ? start : QStringLiteral("<failed>");
    };
    QCOMPARE(read("small"), QString("&h0A0B0C0D"));
    QCOMPARE(read("high"), QString("&h00001234"));
    QCOMPARE(read("zero"), QString("&h00000000"));
    QCOMPARE(read("full"), QString("&hFFFFFFFF"));
    QCOMPARE(read("small", "junk"), QString("&h0A0B0C0D"));
    QCOMPARE(read("text"), QString("abc"));
    QCOMPARE(read("binary", "kept"), QString("kept"));
    QCOMPARE(read("missing"), QString("<failed>"));
    SystemLookup::setLookup(nullptr);
}

void TestDialogs::helpLoadsAndFollowsItsLinks()
{
    TestAppDir dir;
    QVERIFY(QFile::copy(TestAppDir::sourceDir() + "/data/Halcyrix.html", dir.filePath("Halcyrix.html")));

    QWidget owner;
    HelpWindow *help = HelpWindow::showHelp(&owner);
    QVERIFY(help);
    QVERIFY(help->isVisible());
    QTextBrowser *browser = help->browser();
    QCOMPARE(browser->source(), QUrl::fromLocalFile(dir.filePath("Halcyrix.html")));
    QCOMPARE(browser->documentTitle(), QString("Halcyrix Help"));
    QVERIFY(browser->toPlainText().contains("Importing stations"));

    // An internal link moves to its place in the file and can be retraced.
    help->resize(600, 400);
    QCOMPARE(browser->verticalScrollBar()->value(), 0);
    emit browser->anchorClicked(QUrl("#export"));
    QCOMPARE(browser->source().fragment(), QString("export"));
    QTRY_VERIFY(browser->verticalScrollBar()->value() > 0);
    QVERIFY(browser->isBackwardAvailable());
    browser->backward();
    QCOMPARE(browser->source().fragment(), QString());

    // Web addresses go to the user's browser; the help stays where it was.
    emit browser->anchorClicked(QUrl("https://example.org/page"));
    QCOMPARE(Shell::opened(), QStringList{"https://example.org/page"});
    QCOMPARE(browser->source().fragment(), QString());

    // Asking again raises the same window.
    QCOMPARE(HelpWindow::showHelp(&owner), help);
    help->close();
}

void TestDialogs::helpFileLinksAllLeadSomewhere()
{
    QFile file(TestAppDir::sourceDir() + "/data/Halcyrix.html");
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(file.readAll());
    QSet<QString> anchors;
    for (const auto &m : QRegularExpression(R"re(<a name="([^"]+)")re").globalMatch(html))
        anchors.insert(m.captured(1));
    QStringList targets;
    for (const auto &m : QRegularExpression(R"re(href="([^"]*)")re").globalMatch(html))
        targets << m.captured(1);
    QVERIFY(targets.size() > 40);
    for (const QString &t : targets) {
        QVERIFY2(t.startsWith('#'), qPrintable("link out of the file: " + t));
        QVERIFY2(anchors.contains(t.mid(1)), qPrintable("no place named " + t));
    }
    // Every section is reachable from the contents.
    for (const QString &a : anchors)
        QVERIFY2(a == "top" || a == "contents" || targets.contains('#' + a), qPrintable("not linked: " + a));
}

void TestDialogs::missingHelpFileIsPassedOverQuietly()
{
    TestAppDir dir;
    QCOMPARE(HelpWindow::showHelp(nullptr), nullptr);
    dir.writeFile("Halcyrix.html", QByteArray());
    QCOMPARE(HelpWindow::showHelp(nullptr), nullptr);
    QVERIFY(MsgBox::takeShown().isEmpty());
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
