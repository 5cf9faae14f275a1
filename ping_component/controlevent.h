#pragma once

#include <QString>
#include <QtGlobal>

#include <variant>

// The control's three events as values, in the order of its event interface,
// with what each carries. PingEvents raises them; EventQueue holds them until
// it may.
struct OnPingEvent
{
    QString ipAddress;
    qint32 bytes = 0; // the reply's payload size, or -1 when the request got no reply
    qint32 time = 0;  // round trip, whole milliseconds
    qint32 ttl = 0;
    friend bool operator==(const OnPingEvent &, const OnPingEvent &) = default;
};

struct OnPingStrEvent
{
    QString line;
    friend bool operator==(const OnPingStrEvent &, const OnPingStrEvent &) = default;
};

struct OnPingErrorEvent
{
    QString text;
    qint32 code = 0;
    friend bool operator==(const OnPingErrorEvent &, const OnPingErrorEvent &) = default;
};

using ControlEvent = std::variant<OnPingEvent, OnPingStrEvent, OnPingErrorEvent>;
