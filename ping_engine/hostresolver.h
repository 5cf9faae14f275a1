#pragma once

#include "hostaddress.h"

#include <QList>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <optional>

// Turns what the user typed into the address and HostName of a run, with the
// system resolver. A literal address never goes to DNS; neither does text that
// cannot be a host name, so a typo fails at once instead of after a timeout.
//
// Lives on the UI thread; each lookup that needs the resolver runs on a worker
// thread of its own, which nobody can interrupt: a wait that ends early leaves
// it to finish on its own, and its answer is then thrown away.
class HostResolver
{
public:
    struct Result
    {
        enum class Status {
            Resolved,
            NoHost,    // nothing but blanks was typed
            NotFound,  // not an address, and no name the resolver knows
            Shorthand, // a shortened or numeric IPv4 form ("127.1"), which address holds as others read it
            Cancelled, // the wait was ended first: cancel(), the resolver destroyed, or the application quitting
        };
        Status status = Status::NotFound;
        QString host;          // the typed text without surrounding blanks
        HostAddress address;
        QString hostName;      // the run's HostName: the name as typed, a reverse name, or empty
    };

    using Lookup = std::function<Result(const QString &host, bool reverseLookup)>;

    // lookup is what the worker threads run; tests put slow or hanging ones
    // in place of the system resolver.
    explicit HostResolver(Lookup lookup = &resolveBlocking);
    // Ends every wait still in progress, as cancel() does.
    ~HostResolver();
    Q_DISABLE_COPY_MOVE(HostResolver)

    // For lookups started from now on; a worker already running keeps its own.
    void setLookup(Lookup lookup);

    // Resolves without freezing the window: literals at once, anything that
    // needs the resolver on a worker thread while a local event loop keeps the
    // window alive, painting, timers and user input included, so that Stop
    // and closing the window work during a slow lookup. Whatever runs in that
    // loop may call back in: cancel() or destroy this resolver (the wait then
    // ends at once, with Cancelled), or resolve again (a nested wait; the outer
    // one returns only after it). The application quitting ends the wait too.
    Result resolve(const QString &host, bool reverseLookup);

    // Looks host up without waiting: done gets the answer on this thread,
    // always from the event loop, never inside this call. A lookup still
    // running when cancel() is called, or the resolver goes, is dropped and
    // done is never called.
    using Done = std::function<void(const Result &)>;
    void lookUp(const QString &host, bool reverseLookup, Done done);

    // Ends every wait of this resolver at once: each resolve() in progress
    // returns Cancelled as soon as its loop is back on top; lookUp()s still
    // running are dropped.
    void cancel();

    // The same as a worker does it, blocking the calling thread.
    static Result resolveBlocking(const QString &host, bool reverseLookup);

    // Whether text could be a DNS host name worth asking the resolver about.
    static bool isPlausibleName(const QString &text);

private:
    struct Wait;
    class Pending;

    static bool needsWorker(const QString &host, bool reverseLookup);

    Lookup m_lookup;
    QList<Wait *> m_waits; // the waits in progress, innermost last
    QList<Pending *> m_pending; // the lookUp()s in progress
};
