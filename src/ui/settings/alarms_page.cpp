#include "ui/settings/alarms_page.h"

#include "settings/setting_readers.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

namespace tavelin {

AlarmsPage::AlarmsPage(const AlarmSettings& current, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("alarmsPage"));
    auto* form = new QFormLayout(this);
    auto* hint = new QLabel(tr("An empty field turns its alarm off."), this);
    hint->setWordWrap(true);
    form->addRow(hint);

    const auto add = [&](const char* key, const QString& label, const QString& value) {
        form->addRow(label, addField(key, label, value));
    };
    add(settings_key::highFlow, tr("High flow above (L/min)"), optionalNumberText(current.highFlowLMin));
    add(settings_key::lowFlow, tr("Low flow below (L/min)"), optionalNumberText(current.lowFlowLMin));
    add(settings_key::flowDelay, tr("High or low for (s)"), settingsNumberText(current.flowDelayS));
    add(settings_key::deadband, tr("Deadband (% of the threshold)"), settingsNumberText(current.deadbandPercent));
    add(settings_key::noReading, tr("No reading for (s)"), optionalNumberText(current.noReadingS));
    add(settings_key::leakFlow, tr("Possible leak: flow above (L/min)"), optionalNumberText(current.leakFlowLMin));
    add(settings_key::leakMinutes, tr("Possible leak: without a pause for (min)"),
        optionalNumberText(current.leakMinutes));
    add(settings_key::batch, tr("Batch complete at (L)"), optionalNumberText(current.batchLiters));

    latching_ = new QCheckBox(tr("Alarms stay until acknowledged"), this);
    latching_->setObjectName(QStringLiteral("latching"));
    latching_->setChecked(current.latching);
    form->addRow(latching_);
}

QLineEdit* AlarmsPage::addField(const char* key, const QString& label, const QString& value)
{
    auto* edit = new QLineEdit(value, this);
    const QString name = QLatin1String(key);
    edit->setObjectName(name.mid(name.indexOf(QLatin1Char('/')) + 1)); // "high_flow_l_min"
    fields_.insert(name, {label, edit});
    return edit;
}

void AlarmsPage::addValues(QMap<QString, QString>* values) const
{
    for (auto it = fields_.constBegin(); it != fields_.constEnd(); ++it)
        values->insert(it.key(), it.value().second->text());
    values->insert(QLatin1String(settings_key::latching), booleanText(latching_->isChecked()));
}

} // namespace tavelin
