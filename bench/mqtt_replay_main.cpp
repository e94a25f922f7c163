// mqtt-replay: what delivering readings to a broker costs. It starts a
// mosquitto of its own on a free loopback port, fills a store with a day of
// readings (86 400) that the broker has never had, and replays them with the
// program's own outbox, session and libmosquitto client on the event loop:
// how long until the broker has acknowledged the last one, the process's RSS
// during it, its CPU time, and how late a 5 ms timer (standing in for the
// sampling timer) fired meanwhile. Then one reading at a time is stored and
// published as the program does, and a subscriber (libmosquitto on a thread
// of its own, here only) times each from the store's commit to its arrival.
//
//   mqtt-replay [--readings N] [--latency-readings N]
//
// Prints "name value unit" lines.

#include "mqtt/mqtt_outbox.h"
#include "mqtt/mqtt_payloads.h"
#include "mqtt/mqtt_session.h"
#include "platform/qt/mosquitto_client.h"
#include "platform/qt/mqtt_pump.h"
#include "platform/qt/sqlite_readings_store.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mosquitto.h>
#include <mutex>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace tavelin;
using Clock = std::chrono::steady_clock;

double percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::ceil(fraction * values.size()));
    return values[std::max<std::size_t>(rank, 1) - 1];
}

long statusKb(const char* field) // from /proc/self/status
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(std::strlen(field))).trimmed().split(' ').value(0).toLong();
    return 0;
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Arrival times of each seq, from a subscriber on its own thread.
struct Arrivals {
    std::mutex lock;
    std::vector<Clock::time_point> at; // by seq
    std::atomic<std::int64_t> count{0};
};

void onArrival(mosquitto*, void* arrivals, const mosquitto_message* message)
{
    const auto now = Clock::now();
    const QJsonObject state =
        QJsonDocument::fromJson(QByteArray(static_cast<const char*>(message->payload), message->payloadlen)).object();
    auto* a = static_cast<Arrivals*>(arrivals);
    const auto seq = std::size_t(state.value(QStringLiteral("seq")).toDouble());
    std::lock_guard<std::mutex> guard(a->lock);
    if (seq < a->at.size() && a->at[seq] == Clock::time_point())
        a->at[seq] = now;
    ++a->count;
}

StoredReading readingNumber(int i, std::int64_t startMs, std::int64_t& meter)
{
    StoredReading reading;
    reading.utcMs = startMs + std::int64_t(i) * 1000;
    reading.frequency = std::round((250.0 + 40.0 * std::sin(i / 300.0)) * 100.0) / 100.0;
    reading.litersPerMin = std::round(reading.frequency * 60.0 / 6900.0 * 100.0) / 100.0;
    meter += std::llround(reading.frequency * 100.0);
    reading.meterCentipulses = meter;
    reading.totalLiters = std::round(meter / 100.0 / 6900.0 * 100.0) / 100.0;
    return reading;
}

int freeLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), size);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

void waitFor(const std::function<bool()>& done, int timeoutMs)
{
    QEventLoop loop;
    QTimer check;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done() || clock.elapsed() >= timeoutMs)
            loop.quit();
    });
    check.start(10);
    loop.exec();
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    int readings = 86400, latencyReadings = 300;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--readings"))
            readings = std::max(1, std::atoi(argv[i + 1]));
        else if (!std::strcmp(argv[i], "--latency-readings"))
            latencyReadings = std::max(1, std::atoi(argv[i + 1]));
    }
    QTemporaryDir folder;
    const int port = freeLoopbackPort();
    QFile conf(folder.filePath(QStringLiteral("mosquitto.conf")));
    conf.open(QIODevice::WriteOnly);
    conf.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\nmax_queued_messages 0\n").arg(port).toUtf8());
    conf.close();
    QProcess broker;
    broker.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), conf.fileName()});
    if (!broker.waitForStarted(5000)) {
        std::fprintf(stderr, "mqtt-replay: mosquitto does not start (apt-get install mosquitto)\n");
        return 1;
    }
    QThread::msleep(300);

    QString error;
    auto store = SqliteReadingsStore::open(folder.filePath(QStringLiteral("readings.db")), &error);
    if (!store) {
        std::fprintf(stderr, "mqtt-replay: %s\n", qPrintable(error));
        return 1;
    }
    const std::int64_t startMs = QDateTime::currentMSecsSinceEpoch() - std::int64_t(readings) * 1000;
    std::int64_t meter = 0;
    for (int i = 0; i < readings; ++i)
        store->append(readingNumber(i, startMs, meter));
    store->setDeliveredUpTo(QStringLiteral("mqtt_state"), 0);

    Arrivals arrivals;
    arrivals.at.resize(std::size_t(readings + latencyReadings + 2));
    mosquitto_lib_init();
    mosquitto* subscriber = mosquitto_new("mqtt-replay-subscriber", true, &arrivals);
    mosquitto_message_callback_set(subscriber, onArrival);
    mosquitto_connect(subscriber, "127.0.0.1", port, 30);
    mosquitto_subscribe(subscriber, nullptr, "tavelin/bench/state", 1);
    mosquitto_loop_start(subscriber);

    MqttSettings settings;
    settings.deviceId = QStringLiteral("bench");
    settings.discoveryPrefix.clear();
    const MqttTopics topics = mqttTopics(settings, QString(), QString());
    MqttPump pump(
        [](const MqttCondition& c) {
            if (c.state != MqttState::Connecting && c.state != MqttState::Connected)
                std::fprintf(stderr, "mqtt-replay: broker: %s\n", qPrintable(c.detail));
        },
        [] {});
    MosquittoClient client({settings, {false, QStringLiteral("127.0.0.1"), port}, topics.deviceId, topics.status}, pump);
    MqttSession session(client, topics, QStringLiteral("bench"));
    SqliteReadingsStore* s = store.get();
    MqttOutbox outbox(
        *s, QStringLiteral("mqtt_state"), topics.state,
        [s, id = s->storeId()](std::int64_t seq, int max) {
            QVector<OutboxEntry> entries;
            for (const StoredReading& r : s->readingsAfter(seq, max))
                entries.append({r.seq, stateJson(r, 6900.0, id)});
            return entries;
        },
        client, 0);
    session.addOutbox(&outbox);
    pump.setSession(&session);

    // A 5 ms timer beside the replay: how late the event loop let it fire.
    std::vector<double> lateness;
    QElapsedTimer sinceTick;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        lateness.push_back(std::max<double>(0.0, sinceTick.nsecsElapsed() / 1e6 - 5.0));
        sinceTick.start();
    });
    long rssPeakKb = 0;
    QTimer rss;
    QObject::connect(&rss, &QTimer::timeout, [&] { rssPeakKb = std::max(rssPeakKb, statusKb("VmRSS:")); });

    // The same timer with nothing else to do, for comparison.
    sinceTick.start();
    tick.start(5);
    waitFor([] { return false; }, 3000);
    tick.stop();
    std::printf("idle_timer_late_p99 %.2f ms\nidle_timer_late_max %.2f ms\n", percentile(lateness, 0.99),
                lateness.empty() ? 0.0 : *std::max_element(lateness.begin(), lateness.end()));
    lateness.clear();

    const long rssBeforeKb = statusKb("VmRSS:");
    const double cpuBefore = cpuSeconds();
    QElapsedTimer replay;
    replay.start();
    client.start();
    sinceTick.start();
    tick.start(5);
    rss.start(100);
    waitFor([&] { return outbox.delivered() >= readings; }, 600000);
    const double replaySeconds = replay.nsecsElapsed() / 1e9;
    const double replayCpu = cpuSeconds() - cpuBefore;
    tick.stop();
    waitFor([&] { return arrivals.count >= readings; }, 60000);
    std::printf("replay_readings %d\nreplay_delivered %lld\nreplay_s %.2f s\nreplay_rate %.0f readings/s\n", readings,
                static_cast<long long>(outbox.delivered()), replaySeconds, outbox.delivered() / replaySeconds);
    std::printf("replay_cpu_s %.2f s\nreplay_rss_before %ld kB\nreplay_rss_peak %ld kB\n", replayCpu, rssBeforeKb,
                rssPeakKb);
    std::printf("replay_timer_late_p99 %.2f ms\nreplay_timer_late_max %.2f ms\nsubscriber_received %lld\n",
                percentile(lateness, 0.99), lateness.empty() ? 0.0 : *std::max_element(lateness.begin(), lateness.end()),
                static_cast<long long>(arrivals.count.load()));

    // One reading at a time, as the sampling cycle stores them.
    std::vector<Clock::time_point> stored(arrivals.at.size());
    for (int i = 0; i < latencyReadings; ++i) {
        const std::optional<std::int64_t> seq = store->append(readingNumber(readings + i, startMs, meter));
        stored[std::size_t(*seq)] = Clock::now();
        pump.request(); // after the cycle, as the publisher does
        waitFor([&] { return false; }, 20);
    }
    waitFor([&] { return outbox.delivered() >= readings + latencyReadings; }, 10000);
    QThread::msleep(200);
    std::vector<double> latencies;
    {
        std::lock_guard<std::mutex> guard(arrivals.lock);
        for (std::size_t seq = std::size_t(readings) + 1; seq < stored.size(); ++seq)
            if (stored[seq] != Clock::time_point() && arrivals.at[seq] != Clock::time_point())
                latencies.push_back(std::chrono::duration<double, std::micro>(arrivals.at[seq] - stored[seq]).count());
    }
    std::printf("latency_readings %zu\nlatency_p50 %.0f us\nlatency_p99 %.0f us\n", latencies.size(),
                percentile(latencies, 0.50), percentile(latencies, 0.99));

    client.finish(topics.status, MqttSession::offlinePayload(), 1000);
    mosquitto_loop_stop(subscriber, true);
    mosquitto_destroy(subscriber);
    broker.terminate();
    broker.waitForFinished(5000);
    return 0;
}
