#include "pingsession.h"

#include "pingtext.h"

#include <QPointer>

PingSession::PingSession(PingEngine::ProberOpener openProber, Clock &clock, QObject *parent)
    : QObject(parent)
    , m_engine(new PingEngine(std::move(openProber), clock, this))
{
}

PingSession::~PingSession()
{
    // A start still waiting (a handler run during its wait destroyed us)
    // stops waiting and sees that it was overtaken.
    abandonStart();
}

void PingSession::setHost(const QString &hostName, const QString &ipAddress)
{
    m_hostName = hostName;
    m_ipAddress = ipAddress;
}

void PingSession::abandonStart()
{
    ++m_generation;
    m_resolving = false;
    m_resolver.cancel();
}

void PingSession::stop()
{
    if (m_resolving)
        abandonStart();
    m_engine->stop();
}

std::optional<quint64> PingSession::prepare(const PingSettings &settings)
{
    stop();
    const quint64 generation = ++m_generation;
    m_hostName.clear();
    m_ipAddress.clear();
    if (const std::optional<QString> problem = settings.validationError()) {
        emit refused(PingText::errorLine(*problem), PingText::BadSetting);
        return std::nullopt;
    }
    return generation;
}

void PingSession::start(const QString &host, const PingSettings &settings)
{
    const std::optional<quint64> generation = prepare(settings);
    if (!generation)
        return;
    m_resolving = true;
    QPointer<PingSession> self(this);
    emit resolving();
    if (!self || *generation != m_generation)
        return;
    const HostResolver::Result resolved = m_resolver.resolve(host, settings.resolvesAddresses());
    if (!self || *generation != m_generation)
        return; // destroyed, stopped, or overtaken by another start meanwhile
    m_resolving = false;
    take(resolved, settings);
}

void PingSession::begin(const QString &host, const PingSettings &settings)
{
    const std::optional<quint64> generation = prepare(settings);
    if (!generation)
        return;
    m_resolving = true;
    // A stop or another start cancels the lookup (stop() and the resolver's
    // end do); the answer of an overtaken one is not taken.
    m_resolver.lookUp(host, settings.resolvesAddresses(),
                      [this, generation = *generation, settings](const HostResolver::Result &resolved) {
                          if (generation != m_generation)
                              return;
                          m_resolving = false;
                          take(resolved, settings);
                      });
    emit resolving();
}

void PingSession::take(const HostResolver::Result &resolved, const PingSettings &settings)
{
    switch (resolved.status) {
    case HostResolver::Result::Status::Cancelled:
        break; // the application is quitting
    case HostResolver::Result::Status::NoHost:
        emit refused(PingText::noHost(), PingText::UnknownHost);
        break;
    case HostResolver::Result::Status::NotFound:
        emit refused(PingText::unknownHost(resolved.host), PingText::UnknownHost);
        break;
    case HostResolver::Result::Status::Shorthand:
        emit refused(PingText::shorthandAddress(resolved.host, resolved.address), PingText::UnknownHost);
        break;
    case HostResolver::Result::Status::Resolved: {
        m_hostName = resolved.hostName;
        m_ipAddress = resolved.address.toString();
        const RunState::Target target{resolved.host, resolved.hostName, resolved.address};
        if (const std::optional<QString> error = m_engine->start(settings, target, m_preference))
            emit refused(PingText::errorLine(*error), PingText::SocketUnavailable);
        break;
    }
    }
}
