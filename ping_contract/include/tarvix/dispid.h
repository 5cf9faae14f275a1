#pragma once

#include <tarvix/tarvixcontractexport.h>

#include <QString>
#include <QtGlobal>

#include <optional>

namespace Tarvix {

/*!
    \brief Dispatch identifiers of a ping control.

    Hosts call members by these numbers only; the numbers are part of the
    contract and never change. A put takes one 32-bit integer; settings are
    taken as written and checked when Ping is called.
*/
enum class DispId : qint32 {
    Ping = 1,             //!< Method: one text argument, the host; result ignored. Ends a run in progress and starts one.
    PacketSize = 2,       //!< Write (reads back too): payload bytes per echo request, 0 to 65500.
    TimeToLive = 3,       //!< Write (reads back too): outgoing TTL / hop limit, 1 to 255.
    Timeout = 4,          //!< Write (reads back too): milliseconds to wait for each reply, at least 1.
    Continuous = 5,       //!< Write (reads back too): check-box state; non-zero pings until stopped.
    Active = 6,           //!< Read and write: non-zero while a run is in progress, its host lookup included; writing 0 stops it.
    Count = 7,            //!< Write (reads back too): number of echo requests, at least 1 unless continuous.
    HostName = 8,         //!< Read: host name of the run the last Ping started.
    ResolveAddresses = 9, //!< Write (reads back too): check-box state; non-zero resolves addresses to names.
    IpAddress = 10,       //!< Read: address of that run.
};

/*!
    \brief How a member is reached.

    The late-bound entry point, PingControl::invoke(), distinguishes these, the
    way an automation Invoke distinguishes property get, put and method.
*/
enum class DispKind {
    PropertyGet, //!< Reads a property; no arguments.
    PropertyPut, //!< Writes a property; one argument, the value.
    Method,      //!< Calls a method with its arguments.
};

/*! The member name for a DISPID of the contract ("Ping", "PacketSize", ...),
    or an empty string for any other number. */
TARVIX_CONTRACT_EXPORT QString dispIdName(qint32 dispId);

/*! The contract's DISPID for a raw number, if it is one; \c std::nullopt else. */
TARVIX_CONTRACT_EXPORT std::optional<DispId> toDispId(qint32 dispId);

/*! \a kind worded for messages: "property get", "property put" or "method call". */
TARVIX_CONTRACT_EXPORT QString dispKindName(DispKind kind);

} // namespace Tarvix
