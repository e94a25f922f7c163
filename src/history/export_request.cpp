#include "history/export_request.h"

#include "history/civil_time.h"
#include "history/local_periods.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDate>
#include <QRegularExpression>

namespace tavelin {

namespace {

const QString kExport = QStringLiteral("export");
const QString kFrom = QStringLiteral("from");
const QString kTo = QStringLiteral("to");
const QString kOutput = QStringLiteral("output");
const QString kReadings = QStringLiteral("readings");
const QString kEvents = QStringLiteral("events");

QString tr(const char* text)
{
    return QCoreApplication::translate("export", text);
}

QString kindList()
{
    QStringList names;
    for (int kind = 0; kind <= int(PeriodKind::Year); ++kind)
        names << periodKindName(PeriodKind(kind));
    return names.join(QStringLiteral(", ")) + QStringLiteral(", ") + kReadings + tr(" or ") + kEvents;
}

// The offset of "Z", "+05:45", "-0300" or "+01", in seconds.
int offsetSecondsOf(const QString& zone)
{
    if (zone == QLatin1String("Z"))
        return 0;
    const QString digits = zone.mid(1).remove(QLatin1Char(':'));
    const int seconds = digits.left(2).toInt() * 3600 + digits.mid(2).toInt() * 60;
    return zone.startsWith(QLatin1Char('-')) ? -seconds : seconds;
}

} // namespace

std::optional<std::int64_t> exportTimeFrom(const QString& text)
{
    static const QRegularExpression form(QStringLiteral(
        "^([0-9]{4})-([0-9]{2})-([0-9]{2})(?:[T ]([0-9]{2}):([0-9]{2})(?::([0-9]{2})(?:[.,]([0-9]{1,3}))?)?"
        "(Z|[+-][0-9]{2}(?::?[0-9]{2})?)?)?$"));
    const QRegularExpressionMatch match = form.match(text.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    const CivilDate date{match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt()};
    if (!QDate::isValid(date.year, date.month, date.day))
        return std::nullopt;
    if (match.captured(4).isEmpty())
        return localDayStart(date);
    const int hour = match.captured(4).toInt();
    const int minute = match.captured(5).toInt();
    const int second = match.captured(6).toInt();
    if (hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    const std::int64_t wallMs = daysFromCivil(date) * kMsPerDay + (hour * 3600 + minute * 60 + second) * 1000LL
                                + match.captured(7).leftJustified(3, QLatin1Char('0')).toInt();
    const QString zone = match.captured(8);
    if (zone.isEmpty())
        return utcOfLocalWall(wallMs);
    return wallMs - std::int64_t(offsetSecondsOf(zone)) * 1000;
}

void addExportOptions(QCommandLineParser& parser)
{
    parser.addOption({kExport,
                      tr("Write the readings store's history as CSV and end: KIND is quarter-hours, hours, days, "
                         "weeks, months, years, readings or events (the event log). Reads the store without "
                         "changing it, also while the program samples into it."),
                      QStringLiteral("KIND")});
    parser.addOption({kFrom,
                      tr("With --export: from DATE on (a local date such as 2026-10-25, or an ISO 8601 time such "
                         "as 2026-10-25T06:00 or 2026-10-25T06:00:00+01:00)."),
                      QStringLiteral("DATE")});
    parser.addOption({kTo, tr("With --export: up to DATE, not including it."), QStringLiteral("DATE")});
    parser.addOption({kOutput, tr("With --export: write to FILE instead of standard output."),
                      QStringLiteral("FILE")});
}

ExportRequest exportRequestFrom(const QCommandLineParser& parser)
{
    ExportRequest request;
    request.requested = parser.isSet(kExport);
    for (const QString& option : {kFrom, kTo, kOutput}) {
        if (!request.requested && parser.isSet(option)) {
            request.error = tr("--%1 goes with --export, such as --export days.").arg(option);
            return request;
        }
    }
    if (!request.requested)
        return request;
    request.kind = parser.value(kExport);
    request.outputFile = parser.value(kOutput);
    if (request.kind != kReadings && request.kind != kEvents && !periodKindNamed(request.kind)) {
        request.error = tr("\"%1\" cannot be exported: --export takes %2.").arg(request.kind, kindList());
        return request;
    }
    if (parser.isSet(kOutput) && request.outputFile.isEmpty()) {
        request.error = tr("--output needs a file, such as days.csv.");
        return request;
    }
    for (const QString& option : {kFrom, kTo}) {
        if (!parser.isSet(option))
            continue;
        const std::optional<std::int64_t> time = exportTimeFrom(parser.value(option));
        if (!time) {
            request.error = tr("--%1 \"%2\" is neither a date such as 2026-10-25 nor a time such as "
                               "2026-10-25T06:00 or 2026-10-25T06:00:00+01:00.")
                                .arg(option, parser.value(option));
            return request;
        }
        (option == kFrom ? request.fromMs : request.toMs) = time;
    }
    if (request.fromMs && request.toMs && *request.toMs < *request.fromMs)
        request.error = tr("--to %1 comes before --from %2.").arg(parser.value(kTo), parser.value(kFrom));
    return request;
}

} // namespace tavelin
