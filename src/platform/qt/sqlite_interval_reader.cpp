#include "platform/qt/sqlite_interval_reader.h"

#include "platform/qt/sqlite_interval_statements.h"
#include "platform/qt/sqlite_reading_statements.h"

#include <QFileInfo>
#include <QSqlError>

#include <atomic>

namespace tavelin {

namespace {

QString uniqueConnectionName()
{
    static std::atomic<int> opened{0};
    return QStringLiteral("tavelin-intervals-%1").arg(++opened);
}

} // namespace

SqliteIntervalReader::SqliteIntervalReader()
    : connectionName_(uniqueConnectionName())
{
}

SqliteIntervalReader::~SqliteIntervalReader()
{
    // Qt removes a connection only once nothing refers to it any more.
    statements_.reset();
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(connectionName_);
}

std::unique_ptr<SqliteIntervalReader> SqliteIntervalReader::open(const QString& path, QString* error)
{
    if (!QFileInfo(path).isFile()) {
        *error = QStringLiteral("there is no readings store at %1").arg(path);
        return nullptr;
    }
    std::unique_ptr<SqliteIntervalReader> reader(new SqliteIntervalReader());
    reader->db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), reader->connectionName_);
    reader->db_.setDatabaseName(path);
    reader->db_.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000"));
    if (!reader->db_.open()) {
        *error = QStringLiteral("cannot read the readings store %1: %2").arg(path, reasonOf(reader->db_.lastError()));
        return nullptr;
    }
    reader->statements_ = std::make_unique<SqliteIntervalStatements>(reader->db_);
    return reader;
}

bool SqliteIntervalReader::noted(bool done)
{
    if (done) {
        lastError_.clear();
        return true;
    }
    lastError_ = statements_->error();
    // A store that can be read but has no table of intervals yet.
    if (!statements_->exists() && statements_->error().isEmpty())
        lastError_ = QStringLiteral("it holds no quarter-hour intervals yet; they are made when tavelin or "
                                    "tavelind next opens it");
    return false;
}

bool SqliteIntervalReader::sumOf(std::int64_t fromMs, std::int64_t toMs, FlowSums* sums)
{
    return noted(statements_->sumOf(fromMs, toMs, sums));
}

bool SqliteIntervalReader::forEach(std::int64_t fromMs, std::int64_t toMs,
                                   const std::function<bool(const QuarterHour&)>& each)
{
    return noted(statements_->forEach(fromMs, toMs, each));
}

bool SqliteIntervalReader::span(std::optional<Period>* span)
{
    return noted(statements_->span(span));
}

bool SqliteIntervalReader::hasIntervals()
{
    return statements_->exists();
}

} // namespace tavelin
