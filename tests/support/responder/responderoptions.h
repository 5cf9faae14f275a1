#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// How the test responder (tarvix_test_responder) answers each echo request.
// The fixture turns these into the responder's command line and the responder
// parses them back, so both sides always agree on the options.
//
// Order of what is sent for one request, all at receive time + delayMs
// (but for the forged error, at receive time): the noise messages (foreign identifier, wrong sequence, bad checksum,
// corrupted payload, in that order), then the answer (the echo reply, or the
// ICMP error when error is set), then `duplicate` more copies of the answer.
// With lateMs the answer goes out once more, lateMs after the first.
struct ResponderOptions
{
    enum class ErrorKind {
        None,
        HostUnreachable,  // v4: destination unreachable, host (3/1); v6: address unreachable (1/3)
        NetUnreachable,   // v4: destination unreachable, net (3/0); v6: no route (1/0)
        PortUnreachable,  // v4: 3/3; v6: 1/4
        TtlExceeded,      // v4: time exceeded in transit (11/0); v6: hop limit exceeded (3/0)
        PacketTooBig,     // v4: fragmentation needed, MTU 1400 (3/4); v6: packet too big, MTU 1280 (2/0)
        ParameterProblem, // v4: 12/0, pointer 0; v6: erroneous header field (4/0), pointer 0
    };

    int delayMs = 0;            // after the kernel's receive time of the request
    QString drop;               // DropRule syntax: "", "all", "every:N", "2,5"
    int duplicate = 0;          // extra copies of the answer
    bool foreignId = false;     // noise: the reply with another identifier
    bool wrongSequence = false; // noise: the reply with sequence + 1
    bool badChecksum = false;   // noise: the reply with a wrong checksum (IPv4 only)
    bool corruptPayload = false; // noise: the reply with its middle payload byte inverted, checksum correct
    bool noiseOnly = false;     // send the noise, but neither the answer nor its duplicates
    // Before anything else, at the request's receive time: a host-unreachable
    // error that quotes the request as if it had been sent to another address.
    bool forgedError = false;
    int lateMs = 0;             // 0: no late copy
    ErrorKind error = ErrorKind::None;
    int ttl = 0;                // TTL or hop limit of all it sends; 0 leaves the kernel's default

    QStringList toArguments() const;
    // Never throws: bad options give nothing and a message in error.
    // arguments excludes the program name.
    static std::optional<ResponderOptions> fromArguments(const QStringList &arguments, QString *error);
    static QString usage();

    static QString errorKindName(ErrorKind kind);
    static std::optional<ErrorKind> errorKindFromName(const QString &name);

    friend bool operator==(const ResponderOptions &, const ResponderOptions &) = default;
};
