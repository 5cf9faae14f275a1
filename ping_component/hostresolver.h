#pragma once

#include "hostaddress.h"
#include <QString>

#include <functional>
#include <optional>

// Turns what the user typed into the address and HostName of a run, with the
// system resolver. A literal address never goes to DNS; neither does text that
// cannot be a host name, so a typo fails at once instead of after a timeout.
class HostResolver
{
public:
    struct Result
    {
        enum class Status {
            Resolved,
            NoHost,    // nothing but blanks was typed
            NotFound,  // not an address, and no name the resolver knows
            Cancelled, // the application quit while waiting
        };
        Status status = Status::NotFound;
        QString host;          // the typed text without surrounding blanks
        HostAddress address;
        QString hostName;      // the run's HostName: the name as typed, a reverse name, or empty
    };

    // The same, blocking the calling thread.
    static Result resolveBlocking(const QString &host, bool reverseLookup);

    using Lookup = std::function<Result(const QString &host, bool reverseLookup)>;

    // Resolves without freezing the window: literals at once, anything that
    // needs the resolver on a worker thread (running lookup) while a local
    // event loop keeps painting and timers going but takes no user input.
    static Result resolve(const QString &host, bool reverseLookup, const Lookup &lookup = &resolveBlocking);

    // Whether text could be a DNS host name worth asking the resolver about.
    static bool isPlausibleName(const QString &text);

private:
    static bool needsWorker(const QString &host, bool reverseLookup);
};
