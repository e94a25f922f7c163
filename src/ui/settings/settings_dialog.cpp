#include "settings_dialog.h"

#include "platform/qt/settings_file.h"
#include "ui/settings/alarms_page.h"
#include "ui/settings/modbus_settings_page.h"
#include "ui/settings/mqtt_settings_page.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QStringList>
#include <QTabWidget>
#include <QVBoxLayout>

#include <utility>

namespace tavelin {

namespace {

const QString kPulsesPerLiterLabel = QStringLiteral("Pulses per liter");
const QString kKeepTotalLabel = QStringLiteral("Keep the total across restarts");
const QString kRetentionDaysLabel = QStringLiteral("Keep readings for (days)");
const QString kIntervalYearsLabel = QStringLiteral("Keep quarter-hour totals for (years, 0: always)");

// "Pulses per liter: "abc" is not a number."
QString fieldSentence(const QString& label, const SettingsProblem& problem)
{
    if (problem.value.trimmed().isEmpty())
        return QStringLiteral("%1 is empty.").arg(label);
    return QStringLiteral("%1: \"%2\" is %3.").arg(label, problem.value.trimmed(), problem.reason);
}

} // namespace

SettingsDialog::SettingsDialog(SettingsFile& file, const Settings& current, QWidget* parent)
    : QDialog(parent), file_(file), settings_(current)
{
    setWindowTitle(QStringLiteral("Settings"));

    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("tabs"));
    tabs_->addTab(createSensorPage(), QStringLiteral("Sensor"));
    tabs_->addTab(alarmsPage_ = new AlarmsPage(settings_.alarms), QStringLiteral("Alarms"));
    tabs_->addTab(mqttPage_ = new MqttSettingsPage(settings_.mqtt), QStringLiteral("MQTT"));
    tabs_->addTab(modbusPage_ = new ModbusSettingsPage(settings_.modbus), QStringLiteral("Modbus"));

    problem_ = new QLabel(this);
    problem_->setObjectName(QStringLiteral("problem"));
    problem_->setWordWrap(true);
    problem_->setTextFormat(Qt::PlainText);
    problem_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    problem_->hide();

    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons_, &QDialogButtonBox::accepted, this, &SettingsDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &SettingsDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(problem_);
    layout->addWidget(buttons_);
}

QWidget* SettingsDialog::createSensorPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("sensorPage"));

    pulsesPerLiter_ = new QLineEdit(settingsNumberText(settings_.sensor.pulsesPerLiter), page);
    pulsesPerLiter_->setObjectName(QStringLiteral("pulsesPerLiter"));
    keepTotal_ = new QCheckBox(kKeepTotalLabel, page);
    keepTotal_->setObjectName(QStringLiteral("keepTotal"));
    keepTotal_->setChecked(settings_.sensor.keepTotal);
    retentionDays_ = new QLineEdit(settingsNumberText(settings_.store.retentionDays), page);
    retentionDays_->setObjectName(QStringLiteral("retentionDays"));
    intervalYears_ = new QLineEdit(settingsNumberText(settings_.store.intervalYears), page);
    intervalYears_->setObjectName(QStringLiteral("intervalYears"));

    auto* form = new QFormLayout(page);
    form->addRow(kPulsesPerLiterLabel, pulsesPerLiter_);
    form->addRow(keepTotal_);
    form->addRow(kRetentionDaysLabel, retentionDays_);
    form->addRow(kIntervalYearsLabel, intervalYears_);
    return page;
}

void SettingsDialog::showMqttStatus(const MqttPublisher* publisher)
{
    mqttPage_->showStatus(publisher);
}

void SettingsDialog::showModbusStatus(const ModbusOutput* output)
{
    modbusPage_->showStatus(output);
}

void SettingsDialog::showProblem(const QString& text)
{
    problem_->setText(text);
    problem_->setVisible(!text.isEmpty());
}

void SettingsDialog::accept()
{
    // The fields, checked as the file's values are.
    QMap<QString, QString> values;
    values.insert(QLatin1String(settings_key::pulsesPerLiter), pulsesPerLiter_->text());
    values.insert(QLatin1String(settings_key::keepTotal),
                  keepTotal_->isChecked() ? QStringLiteral("true") : QStringLiteral("false"));
    values.insert(QLatin1String(settings_key::retentionDays), retentionDays_->text());
    values.insert(QLatin1String(settings_key::intervalYears), intervalYears_->text());
    alarmsPage_->addValues(&values);
    mqttPage_->addValues(&values);
    modbusPage_->addValues(&values);
    QVector<SettingsProblem> problems;
    const Settings entered = settingsFromValues(values, &problems);

    if (!problems.isEmpty()) {
        QMap<QString, std::pair<QString, QLineEdit*>> fields = alarmsPage_->fields();
        for (const auto& page : {mqttPage_->fields(), modbusPage_->fields()}) {
            for (auto it = page.begin(); it != page.end(); ++it)
                fields.insert(it.key(), it.value());
        }
        fields.insert(QLatin1String(settings_key::pulsesPerLiter), {kPulsesPerLiterLabel, pulsesPerLiter_});
        fields.insert(QLatin1String(settings_key::retentionDays), {kRetentionDaysLabel, retentionDays_});
        fields.insert(QLatin1String(settings_key::intervalYears), {kIntervalYearsLabel, intervalYears_});
        QStringList sentences;
        for (const SettingsProblem& problem : problems)
            sentences.append(fieldSentence(fields.value(problem.key).first, problem));
        showProblem(sentences.join(QLatin1Char('\n')));
        if (QLineEdit* first = fields.value(problems.constFirst().key).second) {
            tabs_->setCurrentWidget(first->parentWidget());
            first->setFocus();
            first->selectAll();
        }
        return;
    }

    // What this page shows; every other setting stays as it was.
    Settings result = settings_;
    result.sensor = entered.sensor;
    result.store = entered.store;
    result.alarms = entered.alarms;
    // The page always gives every key: the section is there once saved with a rule.
    result.alarms.inFile = settings_.alarms.inFile || !entered.alarms.sameRules(AlarmSettings{});
    result.mqtt = entered.mqtt;
    result.modbus = entered.modbus;
    result.modbus.inFile = settings_.modbus.inFile || entered.modbus != ModbusSettings{};
    // Only what the dialog changed: hand edits of the file since it opened stay.
    QString error;
    Settings saved;
    if (!file_.saveChanges(settings_, result, &saved, &error)) {
        showProblem(error);
        return;
    }
    settings_ = saved;
    showProblem(QString());
    QDialog::accept();
}

} // namespace tavelin
