#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

// What a run is asked to do. Hosts write most of these through the contract;
// the saved state supplies them for hosts that write none.
struct PingSettings
{
    static constexpr qint32 MaxPacketSize = 65500;

    qint32 packetSize = 32;       // payload bytes per request
    qint32 timeToLive = 60;       // outgoing TTL or hop limit
    qint32 timeout = 1000;        // ms to wait for each reply
    qint32 continuous = 0;        // check-box state: non-zero pings until stopped
    qint32 count = 4;             // requests per run unless continuous
    qint32 resolveAddresses = 0;  // check-box state: non-zero resolves addresses to names
    qint32 display = 0;           // 0 a compact indicator, non-zero the full run display
    qint32 intervalMs = 1000;     // gap between the starts of two requests
    // Whether a broadcast address may be pinged (as `ping -b` asks): every
    // host on the link answers. Off, a run to one does not start.
    bool allowBroadcast = false;

    bool isContinuous() const { return continuous != 0; }
    bool resolvesAddresses() const { return resolveAddresses != 0; }

    // The first setting a run cannot start with, worded for the user, or nothing.
    std::optional<QString> validationError() const;

    friend bool operator==(const PingSettings &, const PingSettings &) = default;
};
