#pragma once

#include "ExchangeCallbacks.h"
#include "ExchangeProgress.h"
#include "app/CommonDialog.h"

#include <QDialog>
#include <array>
#include <functional>
#include <optional>

class BoundTextBox;
class Data;
class QBoxLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStatusBar;

// What the export and the import dialog share: the file name row with its browse button, the
// "File Type" frame with the station file option, OK and Cancel, the status bar with a progress
// bar beside its text, the data control over the Station table, and Cancel while the work runs.
class StationListDialog : public QDialog
{
    Q_OBJECT
public:
    QLabel *Label1;
    QLineEdit *txtFile;
    QPushButton *Command1;
    QGroupBox *Frame1;
    // The file types, at their places in optFileType.
    enum FileType { StationFileType = 0, OtherType = 1, PlaylistType = 2 };
    std::array<QRadioButton *, 3> optFileType; // station file, the other format, playlist
    QPushButton *Command3;
    QPushButton *Command2;
    QStatusBar *StatusBar1;
    QProgressBar *ProgressBar1;
    CommonDialog CommonDialog1;
    Data *Data1;

    void Form_Load();
    bool running() const { return m_running; }
    FileType fileType() const;

public slots:
    void Command2_Click();

protected:
    // fileLabel: the caption of Label1; otherType and playlistType: the captions of
    // optFileType(1) and optFileType(2).
    StationListDialog(const QString &title, const QString &fileLabel, const QString &otherType,
                      const QString &playlistType, QWidget *parent);

    // The browse button's work: the file dialog with the title and filter (playlistFilter first
    // while the playlist type is chosen), opening or saving; a name chosen goes to the file box,
    // and the type typeOf names for it, if any, is chosen. False when the user cancelled.
    bool browse(const QString &title, const QString &filter, const QString &playlistFilter, bool save,
                const std::function<std::optional<FileType>(const QString &)> &typeOf);

    // Hidden text boxes Text1, Text2, ... bound to the fields, in this order.
    std::vector<BoundTextBox *> makeBoundBoxes(const QStringList &fields);
    // The file row, then the frames, the buttons and the status bar.
    void layOut(QBoxLayout *frames, int width);

    // Escape and the close box act as Cancel.
    void reject() override;
    // The window is shown afresh each time it opens: the controls as at first, the record set
    // read anew (it closes with the window).
    void showEvent(QShowEvent *event) override;
    void done(int result) override;
    // Puts the controls as a freshly loaded dialog has them.
    virtual void resetForm();

    // The work of OK, done by a workflow through the callbacks this fills in. From the work's
    // start until this ends, browse and OK are off and Cancel asks the work to stop (it stops
    // after the current station); the status bar shows prefix + the station at hand beside a
    // progress bar.
    class Work
    {
    public:
        Work(StationListDialog *dialog, const QString &prefix);
        ~Work();
        Work(const Work &) = delete;
        Work &operator=(const Work &) = delete;
        void connect(ExchangeCallbacks &callbacks);
        // Once the work has started: shows the text at once and hides the bar.
        void finish(const QString &text);

    private:
        StationListDialog *m_dialog;
        QString m_prefix;
        ExchangeProgress m_progress;
        bool m_started = false;
    };

    bool m_cancel = false;

private:
    bool m_running = false;
};
