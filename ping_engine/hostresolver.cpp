#include "hostresolver.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <netdb.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

// What a wait and its worker share. The worker may outlive the wait, the
// resolver, even the application object, so it touches nothing else: it
// leaves its answer here and wakes the wait through an eventfd, which any
// thread may write to without Qt. The last of the two to let go closes it.
struct Handover
{
    Handover() : wakeUp(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    ~Handover()
    {
        if (wakeUp >= 0)
            ::close(wakeUp);
    }
    Q_DISABLE_COPY_MOVE(Handover)

    std::mutex mutex;
    std::optional<HostResolver::Result> answer; // under mutex
    const int wakeUp;
    // The wait and the worker each hold it once. An acquire-release count of
    // our own: each side's last use of the handover comes before the other
    // side frees it, in a way that ThreadSanitizer follows too.
    std::atomic<int> holders{1};
};

// Lets go of a handover; the last holder frees it.
struct LetGo
{
    void operator()(Handover *handover) const
    {
        if (handover->holders.fetch_sub(1, std::memory_order_acq_rel) == 1)
            delete handover;
    }
};
using HandoverHold = std::unique_ptr<Handover, LetGo>;

// A second hold of a handover already held.
HandoverHold holdAgain(const HandoverHold &held)
{
    held->holders.fetch_add(1, std::memory_order_relaxed);
    return HandoverHold(held.get());
}

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

// Runs lookup on a worker thread of its own, which leaves its answer in the
// handover given back; nothing when no descriptor or thread is to be had.
HandoverHold startWorker(const HostResolver::Lookup &lookup, const QString &host, bool reverseLookup)
{
    HandoverHold handover(new Handover);
    if (handover->wakeUp < 0)
        return {};
    try {
        std::thread([handover = holdAgain(handover), lookup, host, reverseLookup] {
            HostResolver::Result result = lookup(host, reverseLookup);
            {
                const std::lock_guard lock(handover->mutex);
                handover->answer = std::move(result);
            }
            const quint64 one = 1;
            [[maybe_unused]] const ssize_t written = ::write(handover->wakeUp, &one, sizeof one);
        }).detach();
    } catch (const std::system_error &) {
        return {};
    }
    return handover;
}

// The answer a worker left, once it woke its handover.
std::optional<HostResolver::Result> takeAnswer(const HandoverHold &handover)
{
    quint64 count = 0;
    [[maybe_unused]] const ssize_t read = ::read(handover->wakeUp, &count, sizeof count);
    const std::lock_guard lock(handover->mutex);
    return std::move(handover->answer);
}

} // namespace

// One lookUp() in progress: it hears its worker, or answers from the event
// loop what needed none.
class HostResolver::Pending : public QObject
{
public:
    Pending(HostResolver *resolver, HandoverHold handover, Done done, std::optional<Result> ready)
        : m_resolver(resolver), m_handover(std::move(handover)), m_done(std::move(done))
    {
        if (ready) {
            QTimer::singleShot(0, this, [this, answer = std::move(*ready)] { finish(answer); });
            return;
        }
        auto *answered = new QSocketNotifier(m_handover->wakeUp, QSocketNotifier::Read, this);
        connect(answered, &QSocketNotifier::activated, this, [this, answered] {
            answered->setEnabled(false);
            const std::optional<Result> answer = takeAnswer(m_handover);
            Result result = answer.value_or(Result{});
            if (!answer)
                result.status = Result::Status::Cancelled;
            finish(result);
        });
    }

    // The resolver drops it (a cancel, or its end): it answers nothing, and
    // goes once the event loop has it.
    void abandon()
    {
        m_done = nullptr;
        deleteLater();
    }

private:
    void finish(const Result &result)
    {
        if (!m_done)
            return; // abandoned
        // Off the list first: done may start another lookup, or end the resolver.
        m_resolver->m_pending.removeOne(this);
        const Done done = std::move(m_done);
        deleteLater();
        done(result);
    }

    HostResolver *m_resolver;
    HandoverHold m_handover;
    Done m_done;
};

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
    // Other ping tools take "127.1" or "2130706433" for an address, the C
    // library's resolver too; here it is neither an address nor a name, and
    // the user is told what they would have pinged.
    if (const std::optional<HostAddress> shorthand = HostAddress::fromShorthandIpv4(result.host)) {
        result.status = Result::Status::Shorthand;
        result.address = *shorthand;
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

// One resolve() in progress, on its caller's stack.
struct HostResolver::Wait
{
    QEventLoop loop;
    HostResolver *resolver = nullptr; // null once cancelled or the resolver is gone
    bool cancelled = false;
};

HostResolver::HostResolver(Lookup lookup)
{
    setLookup(std::move(lookup));
}

HostResolver::~HostResolver()
{
    cancel();
}

void HostResolver::setLookup(Lookup lookup)
{
    m_lookup = lookup ? std::move(lookup) : Lookup(&resolveBlocking);
}

void HostResolver::lookUp(const QString &host, bool reverseLookup, Done done)
{
    std::optional<Result> ready;
    HandoverHold handover;
    if (needsWorker(host, reverseLookup))
        handover = startWorker(m_lookup, host, reverseLookup);
    if (!handover)
        ready = resolveBlocking(host, reverseLookup);
    m_pending.append(new Pending(this, std::move(handover), std::move(done), std::move(ready)));
}

void HostResolver::cancel()
{
    // A lookup dropped here is never answered; its worker finishes on its own.
    for (Pending *pending : std::exchange(m_pending, {}))
        pending->abandon();
    // Each loop ends once the loops above it on the stack have: a nested wait
    // returns first, then the one it interrupted.
    for (Wait *wait : std::as_const(m_waits)) {
        wait->cancelled = true;
        wait->resolver = nullptr;
        wait->loop.exit();
    }
    m_waits.clear();
}

HostResolver::Result HostResolver::resolve(const QString &host, bool reverseLookup)
{
    if (!needsWorker(host, reverseLookup))
        return resolveBlocking(host, reverseLookup);

    // Without a descriptor or a thread to be had, a frozen window until the
    // resolver answers beats a wrong answer.
    const HandoverHold handover = startWorker(m_lookup, host, reverseLookup);
    if (!handover)
        return resolveBlocking(host, reverseLookup);

    // User input is taken too: Stop (a write of 0 to Active) and the close
    // request of the window manager are user input to Qt, and either must end
    // the wait at once rather than after the resolver's time-out.
    Wait wait;
    wait.resolver = this;
    QSocketNotifier answered(handover->wakeUp, QSocketNotifier::Read);
    std::optional<Result> answer;
    QObject::connect(&answered, &QSocketNotifier::activated, &wait.loop, [&] {
        answered.setEnabled(false);
        answer = takeAnswer(handover);
        wait.loop.quit();
    });
    m_waits.append(&wait);
    wait.loop.exec();
    // Whatever ran in the loop may have destroyed this resolver: from here on
    // only what lives on this stack is safe to touch.
    if (wait.resolver)
        wait.resolver->m_waits.removeOne(&wait);

    if (wait.cancelled || !answer) {
        // The worker's answer, should it come, goes with the handover.
        Result cancelled;
        cancelled.status = Result::Status::Cancelled;
        cancelled.host = host.trimmed();
        return cancelled;
    }
    return *answer;
}
