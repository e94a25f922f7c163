#pragma once
// Why a broker connection, or an attempt at one, ended: in words for the
// status line, from libmosquitto's codes, the system's and the socket itself.

#include "mqtt/mqtt_connection.h"

namespace tavelin {

// libmosquitto's sentences as part of ours: without their full stop.
QString libraryText(const char* text);

// libmosquitto's error log line as part of ours: it says why TLS failed only
// there ("OpenSSL Error[0]: error:0A000086:SSL routines::certificate verify
// failed" gives "certificate verify failed").
QString mosquittoErrorLine(const char* text);

// Why the socket is no longer usable; empty while it is.
QString socketFailure(int fd);

// rc and errno from the libmosquitto call that failed (for a failed lookup,
// errno holds getaddrinfo's code); lastError is its last error line (its only
// word on TLS).
MqttCondition mosquittoFailure(int rc, int savedErrno, bool wasConnected, bool tls, const QString& lastError);

} // namespace tavelin
