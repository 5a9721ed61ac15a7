#include "frmExport.h"
#include "app/PlainText.h"

#include "ExchangeProgress.h"
#include "Playlist.h"
#include "StationFormats.h"
#include "app/AppInfo.h"
#include "app/MsgBox.h"
#include "data/BoundControls.h"
#include "data/DataControl.h"
#include "data/Recordset.h"
#include "player/Metafile.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSaveFile>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QVBoxLayout>
#include <tuple>

namespace {

// Output is handed to the file in pieces of about this size.
constexpr qsizetype kChunk = 1 << 20;

} // namespace

frmExport::frmExport(QWidget *parent)
    : StationListDialog(QStringLiteral("Export To File"), QStringLiteral("Export to File:"),
                        QStringLiteral("Web Page Table"), QStringLiteral("Playlist (.m3u)"), parent)
{
    setObjectName(QStringLiteral("frmExport"));
    Command1->setToolTip(QStringLiteral("Choose the file to write"));

    Check1 = new QCheckBox(QStringLiteral("Incude LIVE link"), Frame1);
    Check1->setObjectName(QStringLiteral("Check1"));
    auto *checkRow = new QHBoxLayout;
    checkRow->addSpacing(20);
    checkRow->addWidget(Check1);
    static_cast<QBoxLayout *>(Frame1->layout())->insertLayout(2, checkRow); // under the web page

    const std::vector<BoundTextBox *> boxes =
        makeBoundBoxes({QStringLiteral("SName"), QStringLiteral("Location"), QStringLiteral("CallLetters"),
                        QStringLiteral("Frequency"), QStringLiteral("Type"), QStringLiteral("RAMFile"),
                        QStringLiteral("Category"), QStringLiteral("WebPage")});
    std::tie(Text1, Text2, Text3, Text4, Text5, Text6, Text7, Text8) =
        std::tie(boxes[0], boxes[1], boxes[2], boxes[3], boxes[4], boxes[5], boxes[6], boxes[7]);

    auto *frames = new QHBoxLayout;
    frames->addWidget(Frame1);
    layOut(frames, 420);

    // The live link belongs to the web page only, so it is offered only while that is chosen.
    connect(optFileType[1], &QRadioButton::toggled, Check1, &QCheckBox::setEnabled);
    resetForm();

    connect(Command1, &QPushButton::clicked, this, &frmExport::Command1_Click);
    connect(Command3, &QPushButton::clicked, this, &frmExport::Command3_Click);

    Form_Load();
    PlainText::apply(this); // what the labels show is data, never markup
}

frmExport::~frmExport() = default;

void frmExport::resetForm()
{
    StationListDialog::resetForm();
    Check1->setChecked(false);
    Check1->setEnabled(optFileType[1]->isChecked());
}

void frmExport::Command1_Click()
{
    if (running())
        return;
    CommonDialog1.DialogTitle = QStringLiteral("Export To File");
    CommonDialog1.Filter =
        QStringLiteral("Halcyrix Station Files (*.hcs)|*.hcs|HTML Files (*.htm;*.html)|*.htm;*.html");
    // With the playlist type chosen, the dialog opens showing playlists.
    if (optFileType[2]->isChecked())
        CommonDialog1.Filter.prepend(QStringLiteral("Playlists (*.m3u)|*.m3u|"));
    CommonDialog1.FileName = txtFile->text();
    if (!CommonDialog1.ShowSave(this))
        return;
    txtFile->setText(CommonDialog1.FileName);
    const QString &name = CommonDialog1.FileName;
    const bool m3u = Metafile::kindFromName(name) == Metafile::Kind::M3u;
    optFileType[m3u ? 2 : StationList::exportNameIsWebPage(name) ? 1 : 0]->setChecked(true);
}

void frmExport::Command3_Click()
{
    if (running())
        return;
    m_cancel = false; // a Cancel of an earlier run does not close this one
    const QString fileName = txtFile->text();
    if (fileName.trimmed().isEmpty()) {
        accept();
        return;
    }
    const bool written = exportTo(fileName, optFileType[1]->isChecked()   ? WebPage
                                            : optFileType[2]->isChecked() ? M3u
                                                                          : StationFile);
    if (m_cancel)
        QDialog::reject();
    else if (written)
        accept();
    // A file that could not be written was reported; the dialog stays for another name.
}

bool frmExport::exportTo(const QString &fileName, Format format)
{
    const bool webPage = format == WebPage;
    RecordsetPtr rs = Data1->Recordset();
    if (!rs) {
        MsgBox::show(QStringLiteral("The station database could not be opened, so nothing was exported."), this);
        return false;
    }

    // The file is written beside its final place and takes that place only when complete, so
    // a failure or a cancel leaves an earlier file of that name as it was.
    QSaveFile file(fileName);
    auto failed = [&](const QString &reason) {
        file.cancelWriting();
        MsgBox::show(QStringLiteral("Could not write the file \"%1\":\n%2").arg(fileName, reason), this);
        return false;
    };
    if (!file.open(QIODevice::WriteOnly))
        return failed(file.errorString());

    const Running running(this);

    ExchangeProgress progress(StatusBar1, ProgressBar1);
    const qint64 total = rs->RecordCount();
    progress.start(total);

    QByteArray out;
    out.reserve(kChunk + 4096);
    if (webPage)
        out += StationList::webPageHeader();
    else if (format == M3u)
        out += Playlist::m3uHeader();
    const bool live = Check1->checkState() != Qt::Unchecked;

    // The hidden bound boxes need not follow every station; they catch up once at the end.
    struct Quiet
    {
        RecordsetPtr rs;
        QSignalBlocker blocker;
        ~Quiet()
        {
            blocker.unblock();
            emit rs->currentChanged();
        }
    } quiet{rs, QSignalBlocker(rs.get())};
    if (total > 0) {
        rs->MoveLast();
        rs->MoveFirst();
    }
    StationList::Station s;
    qint64 n = 0;
    while (total > 0 && !rs->EOF_()) {
        auto text = [&rs](int i) { return rs->Fields(i).toString(); };
        s.SName = text(0);
        s.Frequency = text(1);
        s.Type = text(2);
        s.CallLetters = text(3);
        s.Location = text(4);
        s.RAMFile = text(5);
        s.Category = text(6);
        s.WebPage = text(7);
        if (webPage)
            StationList::appendWebPageRow(out, s, live);
        else if (format == M3u)
            Playlist::appendM3uEntry(out, s); // a station without a metafile has no entry
        else
            StationList::appendStationLine(out, s);
        progress.step(n++, QStringLiteral("Exporting..."), s.SName);
        if (m_cancel) {
            file.cancelWriting();
            return false;
        }
        if (out.size() >= kChunk) {
            if (file.write(out) != out.size())
                return failed(file.errorString());
            out.resize(0); // keeps the buffer for the next piece
        }
        rs->MoveNext();
    }
    progress.finish(QStringLiteral("Done."));
    if (webPage)
        out += StationList::webPageFooter(App::title(), App::major(), App::minor(), App::homePage());
    if (file.write(out) != out.size())
        return failed(file.errorString());
    if (!file.commit())
        return failed(file.errorString());
    return true;
}
