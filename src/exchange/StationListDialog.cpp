#include "StationListDialog.h"
#include "app/PlainText.h"

#include "app/Module1.h"
#include "data/BoundControls.h"
#include "data/DataControl.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QStatusBar>
#include <QVBoxLayout>

StationListDialog::StationListDialog(const QString &title, const QString &fileLabel, const QString &otherType,
                                     const QString &playlistType, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(title);

    Label1 = new QLabel(fileLabel, this);
    Label1->setObjectName(QStringLiteral("Label1"));
    txtFile = new QLineEdit(this);
    txtFile->setObjectName(QStringLiteral("txtFile"));
    txtFile->setAccessibleName(fileLabel);
    Label1->setBuddy(txtFile);
    Command1 = new QPushButton(QStringLiteral("..."), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setAccessibleName(QStringLiteral("Browse"));
    Command1->setToolTip(QStringLiteral("Choose the file"));
    Command1->setMaximumWidth(Command1->fontMetrics().horizontalAdvance(QStringLiteral("......")) + 16);

    Frame1 = new QGroupBox(QStringLiteral("File Type"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    optFileType[0] = new QRadioButton(QStringLiteral("Halcyrix Station List"), Frame1);
    optFileType[0]->setObjectName(QStringLiteral("optFileType(0)"));
    optFileType[0]->setToolTip(
        QStringLiteral("Use this for Comma Delimited Text files or files exported by this program."));
    optFileType[1] = new QRadioButton(otherType, Frame1);
    optFileType[1]->setObjectName(QStringLiteral("optFileType(1)"));
    optFileType[2] = new QRadioButton(playlistType, Frame1);
    optFileType[2]->setObjectName(QStringLiteral("optFileType(2)"));
    auto *typeLayout = new QVBoxLayout(Frame1);
    for (QRadioButton *option : optFileType)
        typeLayout->addWidget(option);

    Command3 = new QPushButton(QStringLiteral("&Ok"), this);
    Command3->setObjectName(QStringLiteral("Command3"));
    Command3->setDefault(true);
    Command2 = new QPushButton(QStringLiteral("&Cancel"), this);
    Command2->setObjectName(QStringLiteral("Command2"));

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    ProgressBar1 = new QProgressBar(StatusBar1);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setAccessibleName(QStringLiteral("Progress"));
    ProgressBar1->setMaximumWidth(120);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setVisible(false);
    StatusBar1->addPermanentWidget(ProgressBar1);

    Data1 = new Data(this);
    Data1->setObjectName(QStringLiteral("Data1"));
    Data1->setRecordSource(QStringLiteral("Station"));
    Data1->setVisible(false);

    connect(Command2, &QPushButton::clicked, this, &StationListDialog::Command2_Click);
    PlainText::apply(this); // what the labels show is data, never markup
}

std::vector<BoundTextBox *> StationListDialog::makeBoundBoxes(const QStringList &fields)
{
    std::vector<BoundTextBox *> boxes;
    for (const QString &field : fields) {
        auto *box = new BoundTextBox(this);
        box->setObjectName(QStringLiteral("Text%1").arg(boxes.size() + 1));
        box->setAccessibleName(field);
        box->bind(Data1, field);
        box->setVisible(false);
        boxes.push_back(box);
    }
    return boxes;
}

void StationListDialog::layOut(QBoxLayout *frames, int width)
{
    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(Label1);
    fileRow->addWidget(txtFile, 1);
    fileRow->addWidget(Command1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Command3);
    buttons->addWidget(Command2);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fileRow);
    layout->addLayout(frames);
    layout->addLayout(buttons);
    layout->addWidget(StatusBar1);
    resize(width, sizeHint().height());
}

void StationListDialog::resetForm()
{
    m_cancel = false;
    txtFile->clear();
    optFileType[StationFileType]->setChecked(true);
    StatusBar1->clearMessage();
    ProgressBar1->setVisible(false);
}

void StationListDialog::showEvent(QShowEvent *event)
{
    if (!event->spontaneous()) {
        resetForm();
        Form_Load();
    }
    QDialog::showEvent(event);
}

void StationListDialog::done(int result)
{
    Data1->unloadForm();
    QDialog::done(result);
}

StationListDialog::FileType StationListDialog::fileType() const
{
    if (optFileType[OtherType]->isChecked())
        return OtherType;
    return optFileType[PlaylistType]->isChecked() ? PlaylistType : StationFileType;
}

bool StationListDialog::browse(const QString &title, const QString &filter, const QString &playlistFilter, bool save,
                               const std::function<std::optional<FileType>(const QString &)> &typeOf)
{
    CommonDialog1.DialogTitle = title;
    CommonDialog1.Filter = filter;
    // With the playlist type chosen, the dialog opens showing playlists.
    if (fileType() == PlaylistType)
        CommonDialog1.Filter.prepend(playlistFilter + QLatin1Char('|'));
    CommonDialog1.FileName = txtFile->text();
    if (!(save ? CommonDialog1.ShowSave(this) : CommonDialog1.ShowOpen(this)))
        return false;
    txtFile->setText(CommonDialog1.FileName);
    if (const std::optional<FileType> type = typeOf(CommonDialog1.FileName))
        optFileType[*type]->setChecked(true);
    return true;
}

void StationListDialog::Form_Load()
{
    // The record set opens when the dialog shows (or at its first use).
    Data1->setDatabaseName(Module1::DatabasePath);
}

void StationListDialog::Command2_Click()
{
    if (m_running) {
        m_cancel = true; // the work stops after the current station and closes the dialog
        return;
    }
    QDialog::reject();
}

void StationListDialog::reject()
{
    Command2_Click();
}

StationListDialog::Work::Work(StationListDialog *dialog, const QString &prefix)
    : m_dialog(dialog), m_prefix(prefix), m_progress(dialog->StatusBar1, dialog->ProgressBar1)
{
}

StationListDialog::Work::~Work()
{
    if (!m_started)
        return;
    m_dialog->m_running = false;
    m_dialog->Command1->setEnabled(true);
    m_dialog->Command3->setEnabled(true);
}

void StationListDialog::Work::connect(ExchangeCallbacks &callbacks)
{
    callbacks.started = [this](qint64 total) {
        m_started = true;
        m_dialog->m_running = true;
        m_dialog->m_cancel = false;
        m_dialog->Command1->setEnabled(false);
        m_dialog->Command3->setEnabled(false);
        m_progress.start(total);
    };
    callbacks.progress = [this](qint64 done, const QString &name) { m_progress.step(done, m_prefix, name); };
    callbacks.cancelled = [this] { return m_dialog->m_cancel; };
}

void StationListDialog::Work::finish(const QString &text)
{
    if (m_started)
        m_progress.finish(text);
}
