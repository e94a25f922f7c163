#include "flow_sampler.h"

#include "measurement_state.h"
#include "platform/message_box.h"
#include "platform/number_text.h"
#include "sample_listener.h"
#include "sensor_constants.h"
#include "sensor_display.h"
#include "serial_transaction.h"

#include <QRegularExpression>

#include <cmath>

namespace tavelin {

std::optional<double> parseReading(const QString& body)
{
    // \z, not $: a $ would also match before a final line feed.
    static const QRegularExpression plainDecimal(
        QStringLiteral("^ *[+-]?(?:[0-9]+\\.?[0-9]*|\\.[0-9]+) *\\z"));
    if (!plainDecimal.match(body).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = QLocale::c().toDouble(body.trimmed(), &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

double roundHalfEven(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    return std::nearbyint(value * scale) / scale; // default mode: ties to even
}

void FlowSampler::PollSensor()
{
    if (cycleRunning_)
        return; // an earlier cycle still waits in its message box
    cycleRunning_ = true;
    runCycle();
    cycleRunning_ = false;
}

void FlowSampler::runCycle()
{
    const QString noValidReturn = QString::fromLatin1(sensor::kNoValidReturnMessage);

    link_.SendCommand(QString::fromLatin1(sensor::kReadCommand.data(), int(sensor::kReadCommand.size())));
    const QString reply = link_.GetReply();
    if (!reply.startsWith(QLatin1Char(sensor::kValidReplyMarker))) {
        messages_.show(noValidReturn);
        return;
    }

    const QString body = reply.mid(sensor::kBodyStart - 1, sensor::kBodyLength);
    if (body.isEmpty())
        return;

    const std::optional<double> parsed = parseReading(body);
    if (!parsed) {
        messages_.show(noValidReturn);
        return;
    }

    const double frequency = *parsed > sensor::kReadingLimitHz ? 0.0 : *parsed;
    const double litersPerMin = roundHalfEven(frequency * sensor::kSecondsPerMinute / pulsesPerLiter_,
                                              sensor::kRoundedDecimals);
    const double pulseTotal = state_.dblPulseTotal + frequency;
    const double totalLiters = roundHalfEven(pulseTotal / pulsesPerLiter_, sensor::kRoundedDecimals);
    if (!std::isfinite(litersPerMin) || !std::isfinite(pulseTotal) || !std::isfinite(totalLiters)) {
        messages_.show(noValidReturn);
        return;
    }

    state_.dblFrequency = frequency;
    state_.dblLitersPerMin = litersPerMin;
    state_.dblPulseTotal = pulseTotal;
    state_.dblTotalLiters = totalLiters;

    display_.setLblHz(generalNumberText(state_.dblFrequency, locale_));
    display_.setLblLitersPerMin(generalNumberText(state_.dblLitersPerMin, locale_));
    display_.setCWSlide1(state_.dblLitersPerMin);
    display_.setLiters(generalNumberText(state_.dblTotalLiters, locale_));
    display_.setCWSlide2(state_.dblTotalLiters);
    if (listener_)
        listener_->sampleAccepted(state_);
}

} // namespace tavelin
