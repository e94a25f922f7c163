#include "platform/qt/store_export.h"

#include "history/csv_writer.h"
#include "history/export_request.h"
#include "history/period_csv.h"
#include "platform/qt/readings_csv.h"
#include "platform/qt/sqlite_interval_reader.h"
#include "platform/qt/sqlite_readings_store.h"
#include "records/event_log.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstdio>
#include <memory>
#include <unistd.h>

namespace tavelin {

namespace {

constexpr int kStoreUnreadable = 1;
constexpr int kOutputUnwritable = 2;

int fail(int status, const QString& sentence)
{
    std::fprintf(stderr, "%s\n", qPrintable(sentence));
    return status;
}

QString unwritable(const QString& file, const QString& reason)
{
    return QCoreApplication::translate("export", "The file %1 cannot be written: %2.").arg(file, reason);
}

// The rows of the request from the store at storePath; false with *error
// (and *status) set when they cannot all be written.
// The event log, oldest first, those of [fromMs, toMs) when asked.
bool writeEvents(const ExportRequest& request, const QString& storePath, CsvWriter& csv, QString* error)
{
    const auto row = [&csv](const QStringList& fields) {
        for (const QString& field : fields)
            csv.text(field);
        return csv.endRow();
    };
    row(eventRowHeader());
    if (!QFileInfo::exists(storePath))
        return csv.flush();
    const std::unique_ptr<SqliteReadingsStore> store = SqliteReadingsStore::openReadOnly(storePath, error);
    if (!store)
        return false;
    forEachEvent(*store, [&](const StoredEvent& event) {
        if ((!request.fromMs || event.utcMs >= *request.fromMs) && (!request.toMs || event.utcMs < *request.toMs))
            row(eventRow(event));
    });
    if (!store->lastError().isEmpty() && !csv.failed()) {
        *error = store->lastError();
        return false;
    }
    return csv.flush();
}

bool writeRows(const ExportRequest& request, const QString& storePath, double pulsesPerLiter, CsvWriter& csv,
               QString* error, int* status)
{
    *status = kStoreUnreadable;
    if (request.kind == QLatin1String("events")) {
        const bool written = writeEvents(request, storePath, csv, error);
        if (!written && !csv.failed())
            *error = QCoreApplication::translate("export", "The readings store %1 cannot be read: %2.")
                         .arg(storePath, *error);
        return written;
    }
    if (!QFileInfo::exists(storePath)) { // no store yet: nothing kept
        if (request.kind == QLatin1String("readings"))
            writeReadingsHeader(csv);
        else
            writePeriodHeader(csv);
        return csv.flush();
    }
    QString openError;
    const std::unique_ptr<SqliteIntervalReader> reader = SqliteIntervalReader::open(storePath, &openError);
    if (!reader) {
        *error = QCoreApplication::translate("export", "The readings store %1 cannot be read: %2.")
                     .arg(storePath, openError);
        return false;
    }
    bool written = false;
    if (request.kind == QLatin1String("readings"))
        written = writeReadings(reader->database(), request.fromMs, request.toMs, pulsesPerLiter, csv, error);
    else
        written = writePeriods(*reader, *periodKindNamed(request.kind), request.fromMs, request.toMs, csv, error);
    if (!written && !csv.failed())
        *error = QCoreApplication::translate("export", "The readings store %1 cannot be read: %2.")
                     .arg(storePath, *error);
    return written;
}

} // namespace

int runExport(const ExportRequest& request, const QString& storePath, double pulsesPerLiter)
{
    std::unique_ptr<QFileDevice> output;
    const QString shownName = request.outputFile.isEmpty() ? QStringLiteral("standard output") : request.outputFile;
    if (request.outputFile.isEmpty()) {
        auto out = std::make_unique<QFile>();
        out->open(STDOUT_FILENO, QIODevice::WriteOnly, QFileDevice::DontCloseHandle);
        output = std::move(out);
    } else {
        output = std::make_unique<QSaveFile>(request.outputFile);
        if (!output->open(QIODevice::WriteOnly))
            return fail(kOutputUnwritable, unwritable(shownName, output->errorString()));
    }
    CsvWriter csv(*output);
    QString error;
    int status = 0;
    if (!writeRows(request, storePath, pulsesPerLiter, csv, &error, &status)) {
        if (auto* file = dynamic_cast<QSaveFile*>(output.get()))
            file->cancelWriting();
        return fail(csv.failed() ? kOutputUnwritable : status,
                    csv.failed() ? unwritable(shownName, csv.errorString()) : error);
    }
    if (auto* file = dynamic_cast<QSaveFile*>(output.get()); file && !file->commit())
        return fail(kOutputUnwritable, unwritable(shownName, file->errorString()));
    return 0;
}

} // namespace tavelin
