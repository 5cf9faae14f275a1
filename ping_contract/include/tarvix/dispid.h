#pragma once

#include <tarvix/tarvixcontractexport.h>

#include <QString>
#include <QtGlobal>

#include <optional>

namespace Tarvix {

// Dispatch identifiers of a ping control. Hosts call members by these numbers
// only; the numbers are part of the contract and never change.
enum class DispId : qint32 {
    Ping = 1,             // method: one text argument, the host; result ignored
    PacketSize = 2,       // write: payload bytes per echo request
    TimeToLive = 3,       // write: outgoing TTL / hop limit
    Timeout = 4,          // write: milliseconds to wait for each reply
    Continuous = 5,       // write: check-box state, ping until stopped
    Active = 6,           // read and write: non-zero while a run is in progress; 0 stops it
    Count = 7,            // write: number of echo requests
    HostName = 8,         // read: host name of the run the last Ping started
    ResolveAddresses = 9, // write: check-box state, resolve addresses to names
    IpAddress = 10,       // read: address of that run
};

// How a member is reached: the late-bound entry point distinguishes these,
// the way an automation Invoke distinguishes property get, put and method.
enum class DispKind {
    PropertyGet,
    PropertyPut,
    Method,
};

// The member name for a DISPID of the contract, or an empty string.
TARVIX_CONTRACT_EXPORT QString dispIdName(qint32 dispId);

// The contract's DISPID for a raw number, if it is one.
TARVIX_CONTRACT_EXPORT std::optional<DispId> toDispId(qint32 dispId);

TARVIX_CONTRACT_EXPORT QString dispKindName(DispKind kind);

} // namespace Tarvix
