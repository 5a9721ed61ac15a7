#pragma once

#include "health/StationCheck.h"

#include <QDialog>
#include <QPointer>
#include <optional>

class Data;
class DirectoryClient;
class DirectoryRequest;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;
class frmStation;

// "Check Stations": checks whether the stations of the database, or of the viewed categories,
// still answer, and lists those that do not with the reason, sorted by name. From the list the
// user opens a station in the station editor, tunes it, moves the chosen ones to a category or
// deletes them; nothing is changed without such a command. The window does not block the main
// window; hiding or closing it stops the run.
class frmCheckStations : public QDialog
{
    Q_OBJECT
public:
    explicit frmCheckStations(QWidget *parent = nullptr, int parallel = StationCheck::kParallel,
                              int timeLimitMs = StationCheck::kTimeLimitMs);
    ~frmCheckStations() override;

    // The columns of the list.
    enum Column { StationColumn = 0, CategoryColumn, ReasonColumn, AddressColumn };

    QRadioButton *optAll;
    QRadioButton *optViewed;
    QPushButton *cmdCheck;
    QPushButton *cmdStop;
    QPushButton *cmdCheckAgain;
    QProgressBar *prgChecked;
    QLabel *lblSummary;
    QLabel *lblFailed;
    QTreeWidget *lstFailed;
    QPushButton *cmdEdit;
    QPushButton *cmdTune;
    QPushButton *cmdUpdateAddress;
    QLabel *lblCategory;
    QComboBox *cboCategory;
    QPushButton *cmdMove;
    QPushButton *cmdDelete;
    QPushButton *cmdClose;

    StationCheck &check() { return m_check; }

signals:
    // The user wants to hear the station.
    void tuneRequested(const QString &name, const QString &address);
    // Stations were changed, moved or deleted from here.
    void stationsChanged();

public slots:
    void cmdCheck_Click();
    void cmdStop_Click();
    // Checks again the stations whose last check failed.
    void cmdCheckAgain_Click();
    void cmdEdit_Click();
    void cmdTune_Click();
    // Asks the station directory for the chosen station's address now, and offers it in place of
    // the stored one when they differ (stations added from the directory only).
    void cmdUpdateAddress_Click();
    void cmdMove_Click();
    void cmdDelete_Click();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void checked(const StationCheck::Result &result);
    // Lists the stations whose last check failed, as stored.
    void showLastCheck();
    // Stores the outcomes not yet stored.
    void storeOutcomes();
    void run(QList<StationCheck::Station> stations);
    void runEnded(bool stopped);
    void showProgress();
    void updateButtons();
    void fillCategories();
    void addressFound(const StationCheck::Station &listed, DirectoryRequest *request);
    // Checks a station again at once (its address changed), in the run or in one of its own.
    void checkAgain(const StationCheck::Station &station);
    // The directory id of the chosen station, when it came from the directory.
    QString directoryId() const;
    void setRow(QTreeWidgetItem *item, const StationCheck::Station &station);
    QList<QTreeWidgetItem *> chosenRows() const;
    static StationCheck::Station stationOf(const QTreeWidgetItem *item);
    // The row's station as stored now; nothing when it is gone. Raises the database's errors.
    static std::optional<StationCheck::Station> storedNow(const QTreeWidgetItem *item);

    StationCheck m_check;
    QList<StationCheck::Result> m_unstored; // outcomes not yet stored beside their stations
    QTimer *m_storeTimer = nullptr;
    QTimer *m_progressTimer = nullptr;
    int m_failed = 0;
    int m_unchecked = 0;
    bool m_recheck = false;           // the run checks one station the editor changed
    Data *m_editorStations = nullptr; // the editor browses every station, in name order
    frmStation *m_editor = nullptr;
    DirectoryClient *m_directory = nullptr;
    QPointer<DirectoryRequest> m_lookup; // the directory's address being asked for
};
