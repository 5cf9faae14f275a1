#pragma once

#include "pingsettings.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

#include <optional>
#include <tarvix/tarvixpingexport.h>

// The component's saved state as a form definition stores it: a 32-bit version
// word (0x300), the control's extent as two untagged 32-bit words in HIMETRIC
// (0.01 mm; hosts size the control themselves, so the extent is only carried
// along), then ten values, each a 16-bit variant tag followed by its data:
// tag 3 a 32-bit integer, tag 8 a text as a 32-bit byte count that includes a
// 2-byte terminator followed by UTF-16 code units. Everything is little-endian.
//
// The ten values, in order:
//   1 PacketSize        int   payload bytes per request
//   2 TimeToLive        int   outgoing TTL or hop limit
//   3 Timeout           int   ms to wait for each reply
//   4 Continuous        int   check-box state
//   5 Count             int   requests per run
//   6 HostName          text  the HostName property until the first Ping
//   7 ResolveAddresses  int   check-box state
//   8 IpAddress         text  the IpAddress property until the first Ping
//   9 Display           int   0: compact run indicator, non-zero: the full run display
//  10 Interval          int   seconds between requests, 1 to 3600
class TARVIX_PING_EXPORT SavedState
{
public:
    static constexpr quint32 Version = 0x300;
    static constexpr qint32 MaxIntervalSeconds = 3600;

    quint32 extentX = 0;
    quint32 extentY = 0;
    PingSettings settings;
    QString hostName;
    QString ipAddress;

    // Interval is stored in whole seconds; a finer interval set through the C++
    // interface is rounded to the nearest second, at least one.
    QByteArray encode() const;

    // Never throws. A stream that is truncated, carries another version, a wrong
    // tag, a bad text length, an interval out of range, or bytes after the last
    // value gives nothing, so the caller keeps its defaults.
    static std::optional<SavedState> decode(QByteArrayView stream);
};
