#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>
#include <QVariantList>

// A temporary application directory for one test: HALCYRIX_HOME points at it while it lives.
// It holds a Tuner.ini and a station database made from data/schema.sql (with the shipped
// seed stations when asked), so every test works on real files it may change freely.
class TestAppDir
{
public:
    enum Seed { EmptyTables, SeedStations };

    explicit TestAppDir(Seed seed = EmptyTables,
                        const QByteArray &ini = "DataBase=Halcyrix.db\r\nShowBanner=False\r\nCategories=\r\n");
    ~TestAppDir();

    QString path() const;
    QString filePath(const QString &name) const;
    QString dbPath() const;

    void writeFile(const QString &name, const QByteArray &content) const;
    QByteArray readFile(const QString &name) const;

    // Runs SQL on the database (several statements allowed); a failure fails the test run.
    void exec(const QString &sql) const;
    // The rows of a query, each a list of column values (NULL as an invalid QVariant).
    QList<QVariantList> query(const QString &sql) const;
    // Adds a station row; an empty text is stored as NULL.
    void addStation(const QString &name, const QString &category, const QString &ram = QString(),
                    const QString &type = QStringLiteral("FM"), const QString &frequency = QString(),
                    const QString &location = QString(), const QString &web = QString(),
                    const QString &callLetters = QString()) const;

    // Generated data for the large-list benchmarks: `stations` stations in scrambled name order
    // over 20 categories (one of them "Television"), and ten preset rows.
    void addGeneratedStations(int stations) const;
    // A Tuner.ini viewing every second of those categories (about 45 % of the stations).
    static QByteArray generatedStationsIni(bool banner = true);

    static QString sourceDir();

private:
    QTemporaryDir m_dir;
    QByteArray m_oldHome;
    bool m_hadHome;
};
