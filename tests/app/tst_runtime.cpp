#include "TestAppDir.h"
#include "app/AppInfo.h"
#include "app/Application.h"
#include "app/CommonDialog.h"
#include "app/MsgBox.h"
#include "app/RuntimeError.h"
#include "app/Screen.h"
#include "app/Shell.h"
#include "app/TextCodec.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

class TestRuntime : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { MsgBox::setRecording(true); }
    void applicationDirectoryFollowsTheEnvironment();
    void filterTextsConvert();
    void presetFileNamesAnswerTheDialogs();
    void errorInAHandlerIsReportedAndTheProgramGoesOn();
    void startUpErrorGivesAFailureStatus();
    void textDecoding();
    void twipsAtTheScreenDpi();
    void shellRecordsAddresses();
    void messageBoxesShowPlainText();
};

void TestRuntime::applicationDirectoryFollowsTheEnvironment()
{
    TestAppDir dir;
    QCOMPARE(App::path(), dir.path());
    QCOMPARE(App::filePath("Tuner.ini"), dir.path() + "/Tuner.ini");
    qputenv("HALCYRIX_HOME", (dir.path() + "/").toUtf8());
    QCOMPARE(App::path(), dir.path());
    QCOMPARE(App::version(), QString("3.0.17"));
}

void TestRuntime::filterTextsConvert()
{
    QCOMPARE(CommonDialog::convertFilter("Station File (*.hcs)|*.hcs|Web Page|*.htm;*.html"),
             QString("Station File (*.hcs);;Web Page (*.htm *.html)"));
    QCOMPARE(CommonDialog::convertFilter("All Files|*.*"), QString("All Files (*.*)"));
    QCOMPARE(CommonDialog::convertFilter(""), QString());
}

void TestRuntime::presetFileNamesAnswerTheDialogs()
{
    CommonDialog::presetNextFileName("/tmp/a.hcs");
    CommonDialog::presetNextFileName("");
    CommonDialog dlg;
    dlg.DialogTitle = "Open";
    dlg.Filter = "All|*.*";
    QVERIFY(dlg.ShowOpen());
    QCOMPARE(dlg.FileName, QString("/tmp/a.hcs"));
    QVERIFY(!dlg.ShowSave()); // an empty preset is Cancel
    QCOMPARE(dlg.FileName, QString("/tmp/a.hcs"));
    QCOMPARE(CommonDialog::lastTitle(), QString("Open"));
    QVERIFY(!CommonDialog::hasPreset());
}

void TestRuntime::errorInAHandlerIsReportedAndTheProgramGoesOn()
{
    MsgBox::takeShown();
    QPushButton button;
    QObject::connect(&button, &QPushButton::clicked, [] { throw RuntimeError(3021, "No current record."); });
    QTest::mouseClick(&button, Qt::LeftButton);
    QCOMPARE(MsgBox::takeShown(), QStringList("Run-time error '3021':\n\nNo current record."));
    QTest::mouseClick(&button, Qt::LeftButton);
    QCOMPARE(MsgBox::takeShown().size(), 1);
}

void TestRuntime::startUpErrorGivesAFailureStatus()
{
    MsgBox::takeShown();
    QCOMPARE(Application::startUp([] {}), 0);
    QCOMPARE(Application::startUp([] { throw RuntimeError(53, "File not found: /x/Tuner.ini"); }), 1);
    QCOMPARE(MsgBox::takeShown(), QStringList("Run-time error '53':\n\nFile not found: /x/Tuner.ini"));
}

void TestRuntime::textDecoding()
{
    QCOMPARE(TextCodec::decode("Caf\xc3\xa9"), QString::fromUtf8("Café"));
    QCOMPARE(TextCodec::decode("Caf\xe9 \x80 \x9f \x81"), QString::fromUtf8("Café € Ÿ \u0081"));
    QVERIFY(!TextCodec::isValidUtf8("\xc3"));
}

void TestRuntime::twipsAtTheScreenDpi()
{
    const qreal dpi = QGuiApplication::primaryScreen()->logicalDotsPerInchY();
    QCOMPARE(Screen::twipsToPixels(1440), qRound(dpi));
    QCOMPARE(Screen::twipsRect(0, 0, 1440, 720).height(), qRound(dpi / 2));
    Screen::setMousePointer(Screen::Hourglass);
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    Screen::setMousePointer(Screen::Default);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void TestRuntime::shellRecordsAddresses()
{
    Shell::setRecording(true);
    QVERIFY(Shell::open("https://example.org/"));
    QCOMPARE(Shell::opened(), QStringList("https://example.org/"));
}

void TestRuntime::messageBoxesShowPlainText()
{
    // A name in a message is shown as typed, markup and all.
    const QString text = "The name \"<img src=/dev/zero><b>x</b>\" is already used.";
    MsgBox::setRecording(false);
    QString shown;
    Qt::TextFormat format = Qt::AutoText;
    for (int question = 0; question < 2; ++question) {
        QTimer::singleShot(50, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            format = box->textFormat();
            shown = box->text();
            box->done(0);
        });
        if (question)
            MsgBox::askYesNoAllCancel(text);
        else
            MsgBox::show(text);
        QCOMPARE(format, Qt::PlainText);
        QCOMPARE(shown, text);
    }
    MsgBox::setRecording(true);
}

int main(int argc, char **argv)
{
    Application app(argc, argv);
    TestRuntime test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_runtime.moc"
