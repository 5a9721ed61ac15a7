#pragma once

#include "guide/ChannelMatch.h"

#include <QDateTime>
#include <QDialog>
#include <QHash>
#include <QTimer>
#include <memory>

class GuideDatabase;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;

// "TV Guide": what is on now and next on the TV band's channels, the programmes of a day, a
// search over titles, the guide sources and the stations without a guide. Not modal: the main
// window stays usable, and a double click (or Enter) on a channel tunes it there.
class frmGuide : public QDialog
{
    Q_OBJECT
public:
    explicit frmGuide(QWidget *parent = nullptr);
    ~frmGuide() override;

    QTabWidget *tabGuide;
    QTreeWidget *lstNowNext;
    QComboBox *cboChannel;
    QComboBox *cboDay;
    QTreeWidget *lstProgrammes;
    QPlainTextEdit *txtDescription;
    QPushButton *cmdRecord; // records the programme chosen
    QLineEdit *txtSearch;
    QTreeWidget *lstResults;
    QPushButton *cmdRecordFound;
    QListWidget *lstSources;
    QLineEdit *txtSource;
    QPushButton *cmdBrowse;
    QPushButton *cmdAdd;
    QPushButton *cmdRemove;
    QPushButton *cmdRefresh;
    QPushButton *cmdStop;
    QProgressBar *prgLoad;
    QLabel *lblLoad;
    QListWidget *lstUnlinked;
    QLineEdit *txtFindChannel;
    QListWidget *lstChannels;
    QPushButton *cmdLink;
    QPushButton *cmdClose;

    // Reads the stations, the guide and its sources again and shows them.
    void refresh();

signals:
    void tuneRequested(const QString &name, const QString &address);
    // "Record" on a programme of the station of this name.
    void recordRequested(const QString &station, const QString &title, const QDateTime &start, const QDateTime &stop);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void fillNowNext();
    void fillProgrammes();
    void fillSearch();
    void fillSources();
    void fillChannels();
    void showDescription();
    void tuneItem(QTreeWidgetItem *item);
    void recordItem(const QTreeWidgetItem *item);
    void showRecordButtons();
    void addSource();
    void removeSource();
    void startRefresh(const QStringList &sources);
    void linkStation();

    std::unique_ptr<GuideDatabase> m_guide;
    QList<ChannelMatch::Station> m_stations; // the TV band, in name order
    QList<ChannelMatch::Channel> m_channels;
    QHash<QString, QString> m_links; // station name -> channel id
    QTimer m_tick;
};
