#include "runreporter.h"

#include "eventqueue.h"
#include "pingengine.h"
#include "pingtext.h"

#include <limits>

namespace {

// Whole milliseconds, as ping tools have always shown them: 9.9 ms is "<10".
qint32 wholeMilliseconds(qint64 ns)
{
    return qint32(qMin<qint64>(ns / 1000000, std::numeric_limits<qint32>::max()));
}

} // namespace

RunReporter::RunReporter(PingEngine *engine, EventQueue *queue, QObject *parent)
    : QObject(parent), m_engine(engine), m_queue(queue)
{
    connect(engine, &PingEngine::started, this, &RunReporter::onStarted);
    connect(engine, &PingEngine::replied, this, &RunReporter::onReplied);
    connect(engine, &PingEngine::duplicateReplied, this, &RunReporter::onDuplicateReplied);
    connect(engine, &PingEngine::timedOut, this, &RunReporter::onTimedOut);
    connect(engine, &PingEngine::requestFailed, this, &RunReporter::onRequestFailed);
    connect(engine, &PingEngine::transmitFailed, this, &RunReporter::onTransmitFailed);
    connect(engine, &PingEngine::proberFailed, this, &RunReporter::onProberFailed);
    connect(engine, &PingEngine::finished, this, &RunReporter::onFinished);
}

void RunReporter::onStarted()
{
    const RunState *run = m_engine->run();
    // The header is no reply line: the surface keeps its last line.
    m_queue->post(OnPingStrEvent{PingText::header(run->target(), run->settings().packetSize)
                                 + PingText::timingNote(m_engine->asksForSendStamps())});
}

void RunReporter::postLost()
{
    m_queue->post(OnPingEvent{m_engine->run()->target().address.toString(), -1, 0, 0});
}

void RunReporter::postLine(const QString &line)
{
    m_queue->post(OnPingStrEvent{line});
    emit lineReported(line);
}

void RunReporter::postError(const QString &message, const QString &line, qint32 code)
{
    m_queue->post(OnPingErrorEvent{message, code});
    emit lineReported(line);
}

void RunReporter::onReplied(const ProbeEvent &reply, qint64 rttNs)
{
    m_queue->post(OnPingEvent{reply.source.toString(), qint32(reply.payload.size()), wholeMilliseconds(rttNs),
                              qMax(reply.hopLimit, 0)});
    postLine(PingText::reply(m_engine->run()->target(), reply, rttNs, false));
}

void RunReporter::onDuplicateReplied(const ProbeEvent &reply, qint64 rttNs)
{
    postLine(PingText::reply(m_engine->run()->target(), reply, rttNs, true));
}

void RunReporter::onTimedOut(quint16 sequence)
{
    postLost();
    postLine(PingText::timedOut(sequence, m_engine->run()->settings().timeout));
}

void RunReporter::onRequestFailed(const ProbeEvent &error)
{
    const IpFamily family = m_engine->run()->target().address.protocol();
    postLost();
    postError(PingText::probeError(error, family, PingText::Wording::Message),
              PingText::probeError(error, family, PingText::Wording::Line), PingText::probeErrorCode(error, family));
}

void RunReporter::onTransmitFailed(quint16 sequence, int errnoValue)
{
    postLost();
    postError(PingText::transmitFailed(sequence, errnoValue, PingText::Wording::Message),
              PingText::transmitFailed(sequence, errnoValue, PingText::Wording::Line), PingText::TransmitFailed);
}

void RunReporter::onProberFailed(const QString &why)
{
    postError(PingText::errorLine(why), PingText::errorLine(why), PingText::SocketUnavailable);
}

void RunReporter::onFinished()
{
    const RunState *run = m_engine->run();
    // The closing statistics survive the stop that ends the run.
    m_queue->post(OnPingStrEvent{PingText::statistics(run->target(), run->statistics())}, true);
}
