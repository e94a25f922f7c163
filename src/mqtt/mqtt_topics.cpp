#include "mqtt/mqtt_topics.h"

#include "settings/mqtt_settings.h"

namespace tavelin {

MqttTopics mqttTopics(const MqttSettings& settings, const QString& hostName, const QString& instance)
{
    MqttTopics topics;
    topics.deviceId = effectiveDeviceId(settings, hostName, instance);
    const QString base = settings.topicPrefix + QLatin1Char('/') + topics.deviceId + QLatin1Char('/');
    topics.state = base + QStringLiteral("state");
    topics.status = base + QStringLiteral("status");
    topics.alarm = base + QStringLiteral("alarm");
    topics.discoveryPrefix = settings.discoveryPrefix;
    if (!settings.discoveryPrefix.isEmpty())
        topics.discoveryStatus = settings.discoveryPrefix + QStringLiteral("/status");
    return topics;
}

} // namespace tavelin
