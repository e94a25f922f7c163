#pragma once
// The export options both programs take, and what they ask for:
//   --export quarter-hours|hours|days|weeks|months|years|readings
//   [--from DATE] [--to DATE] [--output FILE]
// DATE is a local date (2026-10-25: its local midnight) or an ISO 8601 time,
// with an offset or Z, or without one (local time); --from is inclusive,
// --to exclusive. Whatever cannot be used is one sentence in error, and the
// program ends with status 2.

#include <QString>

#include <cstdint>
#include <optional>

class QCommandLineParser;

namespace tavelin {

struct ExportRequest {
    bool requested = false;
    QString kind; // a period kind's name (local_periods.h) or "readings"
    std::optional<std::int64_t> fromMs;
    std::optional<std::int64_t> toMs;
    QString outputFile; // empty: standard output
    QString error;
};

void addExportOptions(QCommandLineParser& parser);
// After parser.parse().
ExportRequest exportRequestFrom(const QCommandLineParser& parser);

// The instant DATE stands for; nothing when it is neither form.
std::optional<std::int64_t> exportTimeFrom(const QString& text);

} // namespace tavelin
