#pragma once
// The readings store's integration tests: a fresh folder for each test, the
// store's path in a folder that open() must make, and readings to store.

#include "platform/qt/sqlite_readings_store.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <memory>
#include <vector>

namespace tavelin::test {

inline StoredReading readingAt(std::int64_t utcMs, std::int64_t meter = 0)
{
    StoredReading reading;
    reading.utcMs = utcMs;
    reading.frequency = 250.25;
    reading.litersPerMin = 2.18;
    reading.pulseTotal = 1e6 + 0.1;
    reading.totalLiters = 144.94;
    reading.meterCentipulses = meter;
    return reading;
}

inline std::vector<std::int64_t> seqsOf(const QVector<StoredReading>& readings)
{
    std::vector<std::int64_t> seqs;
    for (const StoredReading& reading : readings)
        seqs.push_back(reading.seq);
    return seqs;
}

inline QByteArray contentsOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    std::unique_ptr<SqliteReadingsStore> openStore()
    {
        auto store = SqliteReadingsStore::open(path, &error);
        EXPECT_TRUE(store) << error.toStdString();
        return store;
    }

    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("state/readings.db")); // the folder is made on open
    QString error;
};

} // namespace tavelin::test
