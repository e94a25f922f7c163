// Sampling cycles on arbitrary replies, one after another, checking the
// measurement state against readings worked out here from the reply rules:
// "*" first, the reading is characters 3 to 10, a plain decimal number,
// above 90000 it counts as 0.
//
// The input is a list of records: a flag byte, a length byte (taken modulo
// 33) and that many bytes.
//   bit 0  the bytes are sent as "*", the bytes and a carriage return;
//          otherwise as they are
//   bit 1  the port is closed during the cycle
//   bit 2  the pulse total is reset before the cycle, as the Reset switch does
//   bit 3  a second tick arrives while a message box of the cycle is open

#include "fakes/fake_counter.h"
#include "fakes/fake_message_box.h"
#include "fakes/fake_serial_port.h"
#include "reply_model.h"
#include "sensor/flow_sampler.h"
#include "sensor/measurement_state.h"
#include "sensor/sensor_display.h"
#include "sensor/serial_transaction.h"

#include <QLocale>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace tavelin;

constexpr double kUnit = 2.220446049250313e-16; // 2^-52: twice the rounding error of one operation
constexpr int kScaleDigits = 7;                 // a body of 8 characters has at most 7 decimals

void require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "sampling cycle: %s\n", what);
        std::abort();
    }
}

struct DisplayWrite {
    int target; // 1 lblHz, 2 lblLitersPerMin, 3 CWSlide1, 4 liters, 5 CWSlide2
    QString text;
    double value = 0.0;
};

class Display : public SensorDisplay {
public:
    void setLblHz(const QString& text) override { writes.push_back({1, text}); }
    void setLblLitersPerMin(const QString& text) override { writes.push_back({2, text}); }
    void setCWSlide1(double value) override { writes.push_back({3, QString(), value}); }
    void setLiters(const QString& text) override { writes.push_back({4, text}); }
    void setCWSlide2(double value) override { writes.push_back({5, QString(), value}); }
    std::vector<DisplayWrite> writes;
};

// A reading as an exact count of 10^-7 units, with the text strtod converts.
struct Reading {
    __int128 units = 0;
    std::string text;
};

// A plain decimal number: blanks around it, an optional sign, digits with at
// most one point, at least one digit.
std::optional<Reading> plainDecimal(const QString& body)
{
    std::string s = body.toStdString();
    const auto first = s.find_first_not_of(' ');
    if (first == std::string::npos)
        return std::nullopt;
    s = s.substr(first, s.find_last_not_of(' ') - first + 1);
    std::size_t i = 0;
    bool negative = false;
    if (s[i] == '+' || s[i] == '-')
        negative = s[i++] == '-';
    __int128 mantissa = 0;
    int digits = 0, decimals = 0;
    bool point = false;
    for (; i < s.size(); ++i) {
        if (s[i] == '.' && !point) {
            point = true;
        } else if (s[i] >= '0' && s[i] <= '9') {
            mantissa = mantissa * 10 + (s[i] - '0');
            ++digits;
            decimals += point;
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0)
        return std::nullopt;
    for (int d = decimals; d < kScaleDigits; ++d)
        mantissa *= 10;
    return Reading{negative ? -mantissa : mantissa, s};
}

double numberFromText(const QString& text)
{
    const std::string s = text.toStdString();
    char* end = nullptr;
    const double value = std::strtod(s.c_str(), &end);
    require(end && *end == '\0' && !s.empty(), "a readout shows a plain number");
    return value;
}

bool closeTo(double a, double b, double relative)
{
    return std::fabs(a - b) <= relative * std::max(1.0, std::fabs(b));
}

struct Rig {
    test::FakeSerialPort port;
    test::FakeMillisecondCounter counter;
    test::FakeMessageBox messages;
    MeasurementState state;
    Display display;
    SerialTransaction link{port, counter, messages};
    FlowSampler sampler{link, messages, state, display, QLocale::c()};

    __int128 exactTotal = 0; // accepted readings since the last reset, in 10^-7
    double errorBound = 0.0; // what the double total may have drifted from it

    void cycle(const QByteArray& wire, bool portClosed, bool reset, bool tickDuringBox)
    {
        if (reset) {
            state.dblPulseTotal = 0.0;
            exactTotal = 0;
            errorBound = 0.0;
        }
        port.arrive(wire);
        if (portClosed)
            port.lose();
        const QString reply = portClosed ? QString() : fuzz::expectedReply(port.received);

        int nestedTicks = 0;
        messages.onShow = [&](const QString&) {
            if (!tickDuringBox)
                return;
            const QByteArray written = port.written;
            const int shown = messages.prompts.size();
            sampler.PollSensor();
            require(port.written == written && messages.prompts.size() == shown,
                    "a tick while the box is open starts no second cycle");
            ++nestedTicks;
        };

        const MeasurementState before = state;
        const QByteArray writtenBefore = port.written;
        const std::size_t writesBefore = display.writes.size();

        sampler.PollSensor();

        require(!sampler.isCycleRunning(), "the cycle has ended");
        require(port.written == writtenBefore + (portClosed ? QByteArray() : QByteArray("$?RD\r")),
                "each cycle sends the read command once");
        const QStringList prompts = messages.prompts;
        messages.prompts.clear();
        messages.titles.clear();
        messages.onShow = nullptr;
        port.received.clear();
        port.openSucceeds = true;
        port.open();

        const QString noValid = QStringLiteral("NO VALID RETURN FROM pH MODULE");
        std::optional<Reading> reading;
        if (reply.isEmpty() || reply[0] != QLatin1Char('*')) {
            const QStringList expected = portClosed ? QStringList{QStringLiteral("Port Not open"), noValid}
                                                    : QStringList{noValid};
            require(prompts == expected, "a reply without \"*\" is reported");
        } else if (reply.size() < 3) {
            require(prompts.isEmpty(), "a reply too short for a reading changes nothing, silently");
        } else {
            reading = plainDecimal(reply.mid(2, 8));
            if (reading)
                require(prompts.isEmpty(), "an accepted reply shows no message");
            else
                require(prompts.size() <= 1, "a body that is no number shows at most one message");
        }
        require(nestedTicks <= prompts.size(), "nested ticks only from open boxes");

        if (!reading) {
            require(std::memcmp(&before, &state, sizeof state) == 0, "a rejected reply changes nothing");
            require(display.writes.size() == writesBefore, "a rejected reply writes no display");
            return;
        }

        constexpr __int128 kLimit = static_cast<__int128>(90000) * 10000000;
        const bool overLimit = reading->units > kLimit;
        const __int128 units = overLimit ? 0 : reading->units;
        const double frequency = overLimit ? 0.0 : std::strtod(reading->text.c_str(), nullptr);

        const double exactBefore = static_cast<double>(exactTotal) / 1e7;
        exactTotal += units;
        const double exactNow = static_cast<double>(exactTotal) / 1e7;
        errorBound += (std::fabs(exactBefore) + std::fabs(frequency) + 2 * std::fabs(exactNow)) * kUnit;

        require(std::isfinite(state.dblFrequency) && std::isfinite(state.dblLitersPerMin)
                    && std::isfinite(state.dblPulseTotal) && std::isfinite(state.dblTotalLiters),
                "the state stays finite");
        require(state.dblFrequency == frequency, "the frequency is the reading, 0 above the limit");
        require(std::fabs(state.dblPulseTotal - exactNow) <= errorBound,
                "the pulse total is the sum of the accepted readings");
        const double flow = frequency * 60.0 / 6900.0;
        require(std::fabs(state.dblLitersPerMin - flow) <= 0.005 + 1e-12 * std::fabs(flow),
                "the flow rate is the reading in liters per minute, to 2 decimals");
        require(closeTo(state.dblLitersPerMin * 100, std::round(state.dblLitersPerMin * 100), 1e-9),
                "the flow rate has 2 decimals");
        const double liters = state.dblPulseTotal / 6900.0;
        require(std::fabs(state.dblTotalLiters - liters) <= 0.005 + 1e-12 * std::fabs(liters),
                "the total volume is the pulse total in liters, to 2 decimals");
        require(closeTo(state.dblTotalLiters * 100, std::round(state.dblTotalLiters * 100), 1e-9),
                "the total volume has 2 decimals");

        require(display.writes.size() == writesBefore + 5, "an accepted reply writes five targets");
        const DisplayWrite* w = display.writes.data() + writesBefore;
        for (int i = 0; i < 5; ++i)
            require(w[i].target == i + 1, "the targets are written in order");
        require(numberFromText(w[0].text) == state.dblFrequency, "lblHz shows the frequency");
        require(numberFromText(w[1].text) == state.dblLitersPerMin, "lblLitersPerMin shows the flow rate");
        require(w[2].value == state.dblLitersPerMin, "CWSlide1 shows the flow rate");
        require(closeTo(numberFromText(w[3].text), state.dblTotalLiters, 1e-14), "liters shows the total");
        require(w[4].value == state.dblTotalLiters, "CWSlide2 shows the total");
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Rig rig;
    std::size_t at = 0;
    while (at + 2 <= size) {
        const std::uint8_t flags = data[at];
        const std::size_t length = std::min<std::size_t>(data[at + 1] % 33, size - at - 2);
        QByteArray wire(reinterpret_cast<const char*>(data + at + 2), static_cast<int>(length));
        at += 2 + length;
        if (flags & 1)
            wire = "*" + wire + "\r";
        rig.cycle(wire, flags & 2, flags & 4, flags & 8);
    }
    return 0;
}
