// Helper of scripts/check-web-page.
//   webpage_tool export <database> <page.html>   exports every station as a web page table
//                                                through the export dialog, live links ticked
//   webpage_tool check <database> <dom.html>     compares the table rows of a browser's dump of
//                                                that page with the stations of the database
// Exits 0 when all is well, 1 with a message otherwise.
#include "app/Application.h"
#include "app/CommonDialog.h"
#include "app/Module1.h"
#include "app/MsgBox.h"
#include "data/Database.h"
#include "data/Recordset.h"
#include "exchange/frmExport.h"

#include <QCheckBox>
#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextStream>

namespace {

int fail(const QString &text)
{
    QTextStream(stderr) << text << Qt::endl;
    return 1;
}

int exportPage(const QString &database, const QString &page)
{
    Module1::DatabasePath = database;
    MsgBox::setRecording(true);
    frmExport dlg;
    dlg.show();
    CommonDialog::presetNextFileName(page);
    dlg.Command1->click();
    dlg.Check1->setChecked(true);
    dlg.Command3->click();
    if (!MsgBox::shown().isEmpty())
        return fail(MsgBox::shown().join('\n'));
    return QFile::exists(page) ? 0 : fail("no page was written");
}

// Text of a serialised element: tags dropped, the serialiser's entities turned back.
QString plainText(QString html)
{
    html.remove(QRegularExpression("<[^>]*>"));
    html.replace("&nbsp;", QString(QChar(0xA0)));
    html.replace("&lt;", "<").replace("&gt;", ">").replace("&quot;", "\"").replace("&amp;", "&");
    return html;
}

int checkDom(const QString &database, const QString &domFile)
{
    QFile f(domFile);
    if (!f.open(QIODevice::ReadOnly))
        return fail("cannot read " + domFile);
    const QString dom = QString::fromUtf8(f.readAll());

    QStringList expected;
    RecordsetPtr rs = Recordset::open(Database::open(database), "Station", true);
    for (rs->MoveFirst(); !rs->EOF_(); rs->MoveNext())
        expected << rs->Fields("SName").toString();

    QStringList shown;
    static const QRegularExpression row("<tr[^>]*>(.*?)</tr>", QRegularExpression::CaseInsensitiveOption |
                                                                   QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression cell("<td[^>]*>(.*?)</td>", QRegularExpression::CaseInsensitiveOption |
                                                                    QRegularExpression::DotMatchesEverythingOption);
    for (auto it = row.globalMatch(dom); it.hasNext();) {
        const QString tr = it.next().captured(1);
        const auto first = cell.match(tr);
        shown << (first.hasMatch() ? plainText(first.captured(1)) : QString("<row without cells>"));
    }
    if (shown.size() != expected.size())
        return fail(QString("the page shows %1 rows for %2 stations").arg(shown.size()).arg(expected.size()));
    for (int i = 0; i < shown.size(); ++i) {
        if (shown[i] != expected[i])
            return fail(
                QString("row %1 shows \"%2\" where the station is \"%3\"").arg(i + 1).arg(shown[i], expected[i]));
    }
    if (!dom.contains("Halcyrix 3.0"))
        return fail("the footer does not name the product");
    QTextStream(stdout) << "The page shows " << shown.size() << " rows, one per station, names as stored." << Qt::endl;
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    Application app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == "export")
        return exportPage(args[2], args[3]);
    if (args.size() == 4 && args[1] == "check")
        return checkDom(args[2], args[3]);
    return fail("usage: webpage_tool export|check <database> <file>");
}
