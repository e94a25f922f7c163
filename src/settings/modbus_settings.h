#pragma once
// The [modbus] section of the settings file: the read-only Modbus TCP server.
// It is off while listen is empty. Addresses are literal (127.0.0.1:1502,
// [::1]:1502, 0.0.0.0:502): a host name is refused rather than looked up.

#include <QMap>
#include <QString>
#include <QVector>

namespace tavelin {

struct SettingsProblem;

struct ModbusSettings {
    QString listen;         // "host:port" or "[v6]:port"; empty: off
    int unitId = 1;         // requests for another unit id get no answer
    int maxClients = 8;     // connections at once; one more is closed at once
    QString allowedClients; // addresses and CIDR ranges; empty: any client that reaches the address
    // The file has a [modbus] section: its keys are written back even when
    // they are the defaults, so that a server turned off in the dialog is
    // off in the file. Without one, a file with the defaults gets none.
    bool inFile = false;

    // The same server; inFile aside.
    bool operator==(const ModbusSettings& other) const;
    bool operator!=(const ModbusSettings& other) const { return !(*this == other); }
};

struct ListenAddress {
    QString host; // a literal address, without brackets
    int port = 0;
};

// The address of a listen value; false with *reason set when it is not one.
bool parseListenAddress(const QString& text, ListenAddress* address, QString* reason);
// "127.0.0.1:1502", "[::1]:1502".
QString listenText(const ListenAddress& address);

namespace settings_key {
constexpr const char* modbusListen = "modbus/listen";
constexpr const char* modbusUnitId = "modbus/unit_id";
constexpr const char* modbusMaxClients = "modbus/max_clients";
constexpr const char* modbusAllowedClients = "modbus/allowed_clients";
} // namespace settings_key

// Reads the section's keys into *modbus, as settingsFromValues reads the others.
void readModbusSettings(const QMap<QString, QString>& values, ModbusSettings* modbus,
                        QVector<SettingsProblem>* problems);
// Adds the section's values when the file has the section, when a value
// differs from its default, or when always; adds nothing otherwise.
void addModbusValues(const ModbusSettings& modbus, QMap<QString, QString>* values, bool always = false);

} // namespace tavelin
