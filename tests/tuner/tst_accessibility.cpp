// What a screen reader finds in the tuner window: every changing text read as shown and
// announced, the band lights and presets read with their state, Enter tuning like a double
// click, and a long station list that offers only the entries in view yet announces each
// station the user moves to.

#include "TunerFixture.h"

#include <QAccessible>
#include <QtGui/private/qguiapplication_p.h>
#include <QtGui/qpa/qplatformaccessibility.h>
#include <QtGui/qpa/qplatformintegration.h>

namespace {

struct Announcement
{
    QObject *object;
    QAccessible::Event type;
    QString name; // the name of what the event is about, read when it came
    bool focused;
};

QList<Announcement> g_heard;

void hear(QAccessibleEvent *event)
{
    QAccessibleInterface *iface = event->accessibleInterface();
    g_heard.append({event->object(), event->type(), iface ? iface->text(QAccessible::Name) : QString(),
                    iface && iface->state().focused});
}

QAccessibleInterface *of(QObject *object)
{
    return QAccessible::queryAccessibleInterface(object);
}
QString nameOf(QObject *object)
{
    return of(object)->text(QAccessible::Name);
}
QString descriptionOf(QObject *object)
{
    return of(object)->text(QAccessible::Description);
}

// The names announced as changed for an object since the last look.
QStringList namesAnnounced(QObject *object)
{
    QStringList names;
    for (const Announcement &a : std::as_const(g_heard))
        if (a.object == object && a.type == QAccessible::NameChanged)
            names << a.name;
    return names;
}

// The entries announced as focused in a list since the last look.
QStringList focusedStations(QObject *list)
{
    QStringList names;
    for (const Announcement &a : std::as_const(g_heard))
        if (a.object == list && a.type == QAccessible::Focus && a.focused)
            names << a.name;
    return names;
}

// Every interface a screen reader reaches by walking the children from the window down.
int walk(QAccessibleInterface *iface, int depth = 0)
{
    int count = 1;
    // Readers do not go through a table's children (the bridge marks it as managing them).
    if (depth > 40 || iface->tableInterface())
        return count;
    for (int i = 0; i < iface->childCount(); ++i) {
        if (QAccessibleInterface *child = iface->child(i))
            count += walk(child, depth + 1);
    }
    return count;
}

void press(QWidget *widget, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(widget, key, modifiers);
}

} // namespace

class TestAccessibility : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        startTests();
        // Offscreen, no screen reader asks: switch the accessibility layer on as one would.
        QPlatformAccessibility *platform = QGuiApplicationPrivate::platformIntegration()->accessibility();
        QVERIFY(platform);
        platform->setActive(true);
        QAccessible::installUpdateHandler(hear);
        QVERIFY(QAccessible::isActive());
    }
    void init() { g_heard.clear(); }

    void displayIsReadAsShownAndAnnounced();
    void presetButtonsReadTheirStation();
    void enterTunesAndTheFocusShows();
    void longListPlacesEachStationAndAnnouncesIt();
};

void TestAccessibility::displayIsReadAsShownAndAnnounced()
{
    Radio radio;
    frmMain &w = *radio.window;
    QLabel *category = w.StatusBar1->Panels(1);

    // The first station, Blue Note (AM, 1010, New York, Jazz), as shown.
    QCOMPARE(nameOf(w.lblFrequency), QString("1010"));
    QCOMPARE(descriptionOf(w.lblFrequency), QString("Frequency"));
    QCOMPARE(nameOf(w.lblLocation), QString("New York"));
    QCOMPARE(descriptionOf(w.lblLocation), QString("Location"));
    QCOMPARE(nameOf(category), QString("Jazz"));
    QCOMPARE(descriptionOf(category), QString("Category"));
    QCOMPARE(nameOf(w.StatusBar1->Panels(2)), w.StatusBar1->Panels(2)->text());
    QCOMPARE(nameOf(w.StatusBar1->Panels(3)), w.StatusBar1->Panels(3)->text());
    QVERIFY(!w.StatusBar1->Panels(3)->text().isEmpty());
    QCOMPARE(nameOf(w.Label2), QString("Display"));
    QCOMPARE(w.Label2->text(), QString("Label2"));
    const QStringList lights = {nameOf(w.lblType[0]), nameOf(w.lblType[1]), nameOf(w.lblType[2]), nameOf(w.lblType[3])};
    QCOMPARE(lights, QStringList({"FM", "AM, lit", "TV", "NET"}));
    QCOMPARE(w.lblType[1]->text(), QString("AM")); // the caption itself stays

    // A click on another station: each changed text is announced with the new value.
    g_heard.clear();
    clickEntry(w, "WJZZ");
    QCOMPARE(namesAnnounced(w.lblFrequency).value(0), QString("88.1"));
    QCOMPARE(namesAnnounced(w.lblLocation).value(0), QString("Atlanta"));
    QCOMPARE(namesAnnounced(w.lblType[0]), QStringList("FM, lit"));
    QCOMPARE(namesAnnounced(w.lblType[1]), QStringList("AM"));
    QVERIFY(namesAnnounced(w.lblType[2]).isEmpty()); // unchanged lights stay quiet
    QCOMPARE(nameOf(w.lblFrequency), QString("88.1"));

    // A type no light matches leaves all four dark, and says so.
    clickEntry(w, "Zed Pop");
    QCOMPARE(nameOf(w.lblType[0]), QString("FM"));

    // The prompt takes the category's place, and is described as a prompt.
    g_heard.clear();
    w.cmdSet->click();
    QCOMPARE(namesAnnounced(category), QStringList("Select Number To Preset..."));
    QCOMPARE(descriptionOf(category), QString("Prompt"));
    w.cmdSet->click();
    QCOMPARE(nameOf(category), QString("Pop"));
    QCOMPARE(descriptionOf(category), QString("Category"));

    // The player's status line follows what the player says.
    auto *status = w.RealAudio1[5]->findChild<QLabel *>("lblStatus");
    QVERIFY(status);
    QCOMPARE(descriptionOf(status), QString("Player status"));
    g_heard.clear();
    doubleClickEntry(w, "WJZZ");
    QTRY_VERIFY(!namesAnnounced(status).isEmpty());
    QCOMPARE(nameOf(status), status->text());
    QVERIFY(!status->text().isEmpty());
}

void TestAccessibility::presetButtonsReadTheirStation()
{
    Radio radio(iniText(), 4); // rows for buttons 0 to 3 only
    frmMain &w = *radio.window;
    QCOMPARE(nameOf(w.Preset[3]), QString("3, P3"));
    QCOMPARE(nameOf(w.Preset[7]), QString("7, [None]"));

    clickEntry(w, "WJZZ");
    g_heard.clear();
    w.cmdSet->click();
    w.Preset[2]->click();
    QCOMPARE(namesAnnounced(w.Preset[2]), QStringList("2, WJZZ"));
    QCOMPARE(w.Preset[2]->toolTip(), QString("WJZZ"));
    QCOMPARE(w.Preset[2]->text(), QString("&2"));
}

void TestAccessibility::enterTunesAndTheFocusShows()
{
    Radio radio;
    frmMain &w = *radio.window;
    w.DBList1->setFocus();
    press(w.DBList1, Qt::Key_Down);
    QCOMPARE(w.DBList1->Text(), QString("No Stream"));
    const QString before = player()->source();
    press(w.DBList1, Qt::Key_Down);
    QCOMPARE(w.lblFrequency->text(), QString("")); // Pop One has no frequency
    QCOMPARE(player()->source(), before);          // moving tunes nothing
    press(w.DBList1, Qt::Key_Return);
    QCOMPARE(w.windowTitle(), QString("Halcyrix v3.0.17 [Pop One]"));
    QCOMPARE(player()->source(), stream("popone"));

    press(w.DBList1, Qt::Key_Down);
    press(w.DBList1, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(w.windowTitle(), QString("Halcyrix v3.0.17 [WJZZ]"));
    QCOMPARE(player()->source(), stream("wjzz"));
    QVERIFY(w.mnuViewWebPage->isEnabled());

    // The focus shows on the black list: its station is bright green only while it has it.
    auto highlight = [&] { return w.DBList1->palette().color(QPalette::Highlight); };
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QTRY_COMPARE(highlight(), QColor(0, 255, 0));
    press(w.DBList1, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), w.Preset[1]);
    QCOMPARE(highlight(), QColor(0, 128, 0));
}

void TestAccessibility::longListPlacesEachStationAndAnnouncesIt()
{
    constexpr int kStations = 30000;
    TestAppDir dir(TestAppDir::EmptyTables, iniText("Jazz"));
    dir.exec(QStringLiteral("INSERT INTO Station (SName, Frequency, Type, Location, RAMFile, Category) "
                            "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                            "SELECT printf('Station %05d', i), printf('%d.1', 88 + i % 20), 'FM', "
                            "printf('Town %d', i), 'http://127.0.0.1:9/' || i, 'Jazz' FROM n")
                 .arg(kStations - 1));
    addPresets(dir);
    auto window = openWindow();
    frmMain &w = *window;
    QCOMPARE(w.DBList1->ListCount(), kStations);

    // Every station stands at its place in the list and in its one-column table; a screen
    // reader walking the whole window does not go through thirty thousand of them.
    QAccessibleInterface *list = of(w.DBList1);
    QCOMPARE(list->role(), QAccessible::List);
    QCOMPARE(list->text(QAccessible::Name), QString("Stations"));
    QCOMPARE(list->childCount(), kStations);
    QCOMPARE(list->tableInterface()->rowCount(), kStations);
    QCOMPARE(list->child(0)->text(QAccessible::Name), QString("Station 00000"));
    QCOMPARE(list->child(0)->role(), QAccessible::ListItem);
    QVERIFY(list->child(0)->state().selected);
    QCOMPARE(list->tableInterface()->selectedRows(), QList<int>{0});
    for (int i : {0, 1, 12345, kStations - 1}) {
        QCOMPARE(list->indexOfChild(list->child(i)), i);
        QCOMPARE(list->child(i)->tableCellInterface()->rowIndex(), i);
    }
    QVERIFY(walk(of(&w)) < 500);

    // Moving through the list by keys: each station landed on is announced with the focus,
    // and the display announces its frequency and town.
    w.DBList1->setFocus();
    QTRY_VERIFY(w.DBList1->hasFocus());
    g_heard.clear();
    press(w.DBList1, Qt::Key_Down);
    press(w.DBList1, Qt::Key_Down);
    QCOMPARE(focusedStations(w.DBList1), QStringList({"Station 00001", "Station 00002"}));
    QCOMPARE(namesAnnounced(w.lblLocation), QStringList({"Town 1", "Town 2"}));
    QCOMPARE(list->focusChild()->text(QAccessible::Name), QString("Station 00002"));

    // Far down the list, the current station is still offered and announced.
    g_heard.clear();
    press(w.DBList1, Qt::Key_End);
    QCOMPARE(focusedStations(w.DBList1), QStringList("Station 29999"));
    QCOMPARE(list->indexOfChild(list->focusChild()), kStations - 1);

    // A refilled list offers its new contents.
    openAndCloseDialog(w);
    QCOMPARE(list->child(0)->text(QAccessible::Name), QString("Station 00000"));
    QCOMPARE(list->childCount(), kStations);
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
