#include "history/csv_writer.h"

#include <QIODevice>

#include <charconv>
#include <cmath>
#include <cstring>

namespace tavelin {

namespace {

// Written to the device once the buffer holds this much.
constexpr int kFlushBytes = 256 * 1024;

bool needsQuotes(const char* value, int length)
{
    for (int i = 0; i < length; ++i) {
        const char c = value[i];
        if (c == ',' || c == '"' || c == '\r' || c == '\n')
            return true;
    }
    return false;
}

bool onlyZeros(const char* digits, int length)
{
    for (int i = 0; i < length; ++i) {
        if (digits[i] != '0' && digits[i] != '.')
            return false;
    }
    return true;
}

} // namespace

CsvWriter::CsvWriter(QIODevice& device) : device_(device)
{
    buffer_.reserve(kFlushBytes + 4096);
}

char* CsvWriter::reserve(int bytes)
{
    const int used = buffer_.size();
    buffer_.resize(used + bytes);
    return buffer_.data() + used;
}

void CsvWriter::separate()
{
    if (inRow_)
        buffer_.append(',');
    inRow_ = true;
}

void CsvWriter::text(const QString& value)
{
    const QByteArray utf8 = value.toUtf8();
    text(utf8.constData(), utf8.size());
}

void CsvWriter::text(const char* value, int length)
{
    separate();
    if (!needsQuotes(value, length)) {
        buffer_.append(value, length);
        return;
    }
    buffer_.append('"');
    for (int i = 0; i < length; ++i) {
        if (value[i] == '"')
            buffer_.append('"');
        buffer_.append(value[i]);
    }
    buffer_.append('"');
}

void CsvWriter::number(double value, int decimals)
{
    separate();
    if (!std::isfinite(value))
        return; // no number: an empty field
    constexpr int kRoom = 352; // the longest fixed form of a double, and its decimals
    char* start = reserve(kRoom);
    const std::to_chars_result written = std::to_chars(start, start + kRoom, value, std::chars_format::fixed, decimals);
    int length = int(written.ptr - start);
    if (start[0] == '-' && onlyZeros(start + 1, length - 1)) {
        std::memmove(start, start + 1, std::size_t(length - 1)); // "-0.00": a value that rounds to zero
        --length;
    }
    buffer_.resize(int(start - buffer_.data()) + length);
}

void CsvWriter::integer(std::int64_t value)
{
    separate();
    char* start = reserve(24);
    const std::to_chars_result written = std::to_chars(start, start + 24, value);
    buffer_.resize(int(written.ptr - buffer_.data()));
}

void CsvWriter::empty()
{
    separate();
}

bool CsvWriter::endRow()
{
    buffer_.append("\r\n", 2);
    inRow_ = false;
    return buffer_.size() < kFlushBytes || flush();
}

bool CsvWriter::flush()
{
    if (failed_)
        return false;
    if (!buffer_.isEmpty() && device_.write(buffer_) != buffer_.size())
        failed_ = true;
    buffer_.resize(0); // keeps the reserved room
    return !failed_;
}

QString CsvWriter::errorString() const
{
    return device_.errorString();
}

} // namespace tavelin
