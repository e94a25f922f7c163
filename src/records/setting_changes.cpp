#include "records/setting_changes.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace tavelin {

namespace {

// As the settings' problem report quotes an address: the password starred.
QString withoutPassword(QString url)
{
    static const QRegularExpression password(QStringLiteral("(://[^/@]*:)[^/@]*@"));
    return url.replace(password, QStringLiteral("\\1***@"));
}

} // namespace

QMap<QString, QString> recordedSettingValues(const Settings& settings)
{
    Settings all = settings;
    all.alarms.inFile = true; // every alarm key, section or not
    QMap<QString, QString> values = valuesFromSettings(all);
    values.insert(QLatin1String(settings_key::logFile), settings.logging.file);
    values.insert(QLatin1String(settings_key::logMode), settings.logging.mode == FileOpenMode::Overwrite
                                                            ? QStringLiteral("overwrite")
                                                            : QStringLiteral("append"));
    values.insert(QLatin1String(settings_key::logIntervalS), settingsNumberText(settings.logging.intervalS));
    const QString url = QLatin1String(settings_key::mqttUrl);
    values.insert(url, withoutPassword(values.value(url)));
    for (auto it = values.begin(); it != values.end();) {
        const bool secret = it.key().contains(QLatin1String("password"))
                            && it.key() != QLatin1String(settings_key::mqttPasswordFile);
        it = secret ? values.erase(it) : std::next(it);
    }
    return values;
}

QVector<SettingChange> settingChangesBetween(const QMap<QString, QString>& before, const QMap<QString, QString>& after)
{
    QStringList keys = before.keys() + after.keys();
    keys.removeDuplicates();
    keys.sort();
    QVector<SettingChange> changes;
    for (const QString& key : qAsConst(keys)) {
        const QString was = before.value(key);
        const QString is = after.value(key);
        if (was != is)
            changes.append({key, was, is});
    }
    return changes;
}

QString recordedSettingsText(const QMap<QString, QString>& values)
{
    QJsonObject object;
    for (auto it = values.constBegin(); it != values.constEnd(); ++it)
        object.insert(it.key(), it.value());
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

QMap<QString, QString> recordedSettingsFrom(const QString& text)
{
    QMap<QString, QString> values;
    const QJsonObject object = QJsonDocument::fromJson(text.toUtf8()).object();
    for (auto it = object.constBegin(); it != object.constEnd(); ++it)
        values.insert(it.key(), it.value().toString());
    return values;
}

} // namespace tavelin
