#pragma once
// CSV as RFC 4180 has it, written as it goes: comma-separated fields, CRLF
// after every row, a field quoted (its quotes doubled) only when it holds a
// comma, a quote, CR or LF; UTF-8 text; numbers with a point as the decimal
// separator, whatever the locale. Rows gather in a buffer that goes to the
// device whenever it grows past a size, so memory does not grow with the rows.

#include <QByteArray>
#include <QString>

#include <cstdint>

class QIODevice;

namespace tavelin {

class CsvWriter {
public:
    explicit CsvWriter(QIODevice& device);
    CsvWriter(const CsvWriter&) = delete;
    CsvWriter& operator=(const CsvWriter&) = delete;

    void text(const QString& value);
    // ASCII or UTF-8 bytes.
    void text(const char* value, int length);
    // Fixed decimals, no group separators, never "-0.00".
    void number(double value, int decimals);
    void integer(std::int64_t value);
    void empty();
    // Ends the row; false once the device has refused to take the rows.
    bool endRow();
    // Hands everything written so far to the device.
    bool flush();

    bool failed() const { return failed_; }
    QString errorString() const;

private:
    char* reserve(int bytes);
    void separate();

    QIODevice& device_;
    QByteArray buffer_;
    bool inRow_ = false;
    bool failed_ = false;
};

} // namespace tavelin
