#pragma once
// The quarter-hour intervals as the store's writer keeps them: every reading
// added in the transaction that stores it, a store made before the intervals
// built once from the readings it holds, a few thousand at a time so that no
// transaction holds the file for long, and old intervals removed. How far a
// build has come is kept in store_info, so that a build cut short by the end
// of the program goes on at the next start.

#include "platform/qt/sqlite_interval_statements.h"

#include <functional>

namespace tavelin {

class StoreIntervals {
public:
    static constexpr int kBuildStepReadings = 5000;

    explicit StoreIntervals(const QSqlDatabase& db);

    // Inside the set-up's transaction: the table, and when it is new beside
    // stored readings, the bounds of the build.
    bool setUp();
    // A stored reading; one that carries no K-factor counts at fallbackK.
    bool add(const StoredReading& reading, double fallbackK);
    // One step of the build inside the caller's transaction: the next
    // readings up to kBuildStepReadings; *more says whether any remain.
    bool buildStep(double fallbackK, bool* more);
    // Whether readings stored before the intervals are not all counted yet:
    // until then none of them may leave the store.
    bool building() const { return buildUntil_ > builtUpTo_; }
    // Removes at most maxRows intervals that end at or before utcMs, oldest
    // first; *lastStart and *lastSeal: the last one removed (0 when none).
    int removeOlderThan(std::int64_t utcMs, int maxRows, std::int64_t* lastStart, QByteArray* lastSeal);

    // The newest interval's start; 0 without one.
    std::int64_t newestStart();
    // While a build is to come: the start of the quarter hour of the newest
    // reading it counts, after which the intervals' chain begins (the built
    // ones are stored unsealed); 0 otherwise.
    std::int64_t buildThroughQuarter();
    // Seals the interval starting at start, once closed: its values in the
    // sealed form go to sealer, whose seal it then carries.
    bool seal(std::int64_t start, const std::function<QByteArray(const QVector<QVariant>&)>& sealer);
    QString error() const { return error_.isEmpty() ? statements_.error() : error_; }

    // How far the build has come, as store_info says (after a transaction
    // that stepped it was rolled back).
    bool readProgress();

private:
    bool exec(const QString& statement);

    QSqlDatabase db_;
    SqliteIntervalStatements statements_;
    std::int64_t builtUpTo_ = 0;
    std::int64_t buildUntil_ = 0;
    QString error_;
};

} // namespace tavelin
