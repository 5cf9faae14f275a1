#include "hostresolver.h"

#include <QEventLoop>
#include <QThread>

#include <netdb.h>
#include <sys/socket.h>

#include <atomic>
#include <memory>

namespace {

std::optional<HostAddress> firstAddress(const QString &name)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM; // one entry per address instead of one per socket type
    hints.ai_flags = AI_IDN;
    addrinfo *list = nullptr;
    if (getaddrinfo(name.toUtf8().constData(), nullptr, &hints, &list) != 0 || !list)
        return std::nullopt;
    // The resolver has sorted the list by RFC 6724: the first entry is the one
    // this host can reach best.
    const HostAddress address = HostAddress::fromSockaddr(list->ai_addr, list->ai_addrlen);
    freeaddrinfo(list);
    if (address.isNull())
        return std::nullopt;
    return address;
}

QString reverseName(const HostAddress &address)
{
    // With its zone: a link-local address means nothing without its interface.
    sockaddr_storage storage;
    const socklen_t length = address.toSockaddr(storage);
    char host[NI_MAXHOST];
    if (length == 0
        || getnameinfo(reinterpret_cast<sockaddr *>(&storage), length, host, sizeof host, nullptr, 0, NI_NAMEREQD) != 0)
        return {};
    return QString::fromUtf8(host);
}

} // namespace

bool HostResolver::isPlausibleName(const QString &text)
{
    QString name = text;
    if (name.endsWith(QLatin1Char('.')))
        name.chop(1);
    if (name.isEmpty() || name.size() > 253)
        return false;
    const QStringList labels = name.split(QLatin1Char('.'));
    for (const QString &label : labels) {
        if (label.isEmpty() || label.size() > 63)
            return false;
        for (QChar c : label) {
            // Letters of any script (the resolver converts them to their ASCII
            // form), digits, hyphens and underscores; nothing else.
            if (!(c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_')))
                return false;
        }
    }
    // A top-level label of digits only is no DNS name (RFC 3696): "999" or
    // "256.1.1.1" are mistyped addresses, and the C library would read some of
    // them as numbers in disguise.
    bool allDigits = true;
    for (QChar c : labels.last())
        allDigits = allDigits && c.isDigit();
    return !allDigits;
}

bool HostResolver::needsWorker(const QString &host, bool reverseLookup)
{
    const std::optional<HostAddress> literal = HostAddress::fromUserText(host);
    if (literal)
        return reverseLookup;
    return isPlausibleName(host.trimmed());
}

HostResolver::Result HostResolver::resolveBlocking(const QString &host, bool reverseLookup)
{
    Result result;
    result.host = host.trimmed();
    if (result.host.isEmpty()) {
        result.status = Result::Status::NoHost;
        return result;
    }
    if (const std::optional<HostAddress> literal = HostAddress::fromUserText(result.host)) {
        result.status = Result::Status::Resolved;
        result.address = *literal;
        if (reverseLookup)
            result.hostName = reverseName(*literal);
        return result;
    }
    if (!isPlausibleName(result.host))
        return result;
    const std::optional<HostAddress> address = firstAddress(result.host);
    if (!address)
        return result;
    result.status = Result::Status::Resolved;
    result.address = *address;
    result.hostName = result.host;
    return result;
}

HostResolver::Result HostResolver::resolve(const QString &host, bool reverseLookup, const Lookup &lookup)
{
    if (!needsWorker(host, reverseLookup))
        return resolveBlocking(host, reverseLookup);

    // The worker owns its share of the answer, so that it may outlive this
    // call (the application quit while the resolver was still waiting).
    struct Answer
    {
        Result result;
        std::atomic<bool> done = false;
    };
    auto answer = std::make_shared<Answer>();
    QThread *worker = QThread::create([answer, host, reverseLookup, lookup] {
        answer->result = lookup(host, reverseLookup);
        answer->done.store(true, std::memory_order_release);
    });
    QEventLoop loop;
    QObject::connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
    QObject::connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    worker->start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    // The worker may be gone by now; only the shared answer is safe to read.
    if (!answer->done.load(std::memory_order_acquire)) {
        Result cancelled;
        cancelled.status = Result::Status::Cancelled;
        cancelled.host = host.trimmed();
        return cancelled;
    }
    return answer->result;
}
