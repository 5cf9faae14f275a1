#include "hostresolver.h"

#include <QEventLoop>
#include <QThread>

#include <arpa/inet.h>
#include <net/if.h>
#include <netdb.h>
#include <sys/socket.h>

#include <atomic>
#include <cstring>
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
    HostAddress address;
    address.setAddress(list->ai_addr);
    freeaddrinfo(list);
    if (address.isNull())
        return std::nullopt;
    return address;
}

QString reverseName(const HostAddress &address)
{
    sockaddr_storage storage{};
    socklen_t length = 0;
    if (address.protocol() == IpFamily::IPv4) {
        auto *in = reinterpret_cast<sockaddr_in *>(&storage);
        in->sin_family = AF_INET;
        in->sin_addr.s_addr = htonl(address.toIPv4Address());
        length = sizeof *in;
    } else {
        auto *in6 = reinterpret_cast<sockaddr_in6 *>(&storage);
        in6->sin6_family = AF_INET6;
        const Ipv6Bytes bytes = address.toIPv6Address();
        std::memcpy(&in6->sin6_addr, bytes.c, sizeof bytes.c);
        length = sizeof *in6;
    }
    char host[NI_MAXHOST];
    if (getnameinfo(reinterpret_cast<sockaddr *>(&storage), length, host, sizeof host, nullptr, 0, NI_NAMEREQD) != 0)
        return {};
    return QString::fromUtf8(host);
}

} // namespace

std::optional<HostAddress> HostResolver::parseLiteral(const QString &text)
{
    QString candidate = text.trimmed();
    // Brackets set IPv6 addresses apart in URLs; people paste them.
    const bool bracketed = candidate.startsWith(QLatin1Char('[')) && candidate.endsWith(QLatin1Char(']'));
    if (bracketed)
        candidate = candidate.mid(1, candidate.size() - 2);
    const QByteArray latin = candidate.toLatin1();
    if (latin.isEmpty() || candidate.size() > 80)
        return std::nullopt;

    // inet_pton accepts only the strict forms: "127.1" or "0x7f.0.0.1", which
    // inet_aton would quietly turn into some other address, are no literals.
    in_addr v4{};
    if (!bracketed && inet_pton(AF_INET, latin.constData(), &v4) == 1)
        return HostAddress(ntohl(v4.s_addr));

    const qsizetype percent = latin.indexOf('%');
    const QByteArray bare = percent < 0 ? latin : latin.left(percent);
    in6_addr v6{};
    if (inet_pton(AF_INET6, bare.constData(), &v6) != 1)
        return std::nullopt;
    HostAddress address(v6.s6_addr);
    if (percent >= 0) {
        const QByteArray zone = latin.mid(percent + 1);
        if (zone.isEmpty())
            return std::nullopt;
        bool numeric = false;
        zone.toUInt(&numeric);
        if (!numeric && if_nametoindex(zone.constData()) == 0)
            return std::nullopt; // no such interface: sending would fail anyway
        address.setScopeId(QString::fromLatin1(zone));
    }
    return address;
}

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
    const std::optional<HostAddress> literal = parseLiteral(host);
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
    if (const std::optional<HostAddress> literal = parseLiteral(result.host)) {
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
