#pragma once

#include <QObject>
#include <QString>

class EventQueue;
class PingEngine;
struct ProbeEvent;

// Words what the engine reports as the control's events: one OnPing for each
// request, whatever became of it; the component's own line for each reply,
// duplicate and time-out, the header first (with a line on where round trips
// start) and the statistics last; an
// OnPingError with its code for each error, and one when the prober fails
// (a run still starting has no header and no statistics). Each line also goes to
// lineReported, for the surface.
class RunReporter : public QObject
{
    Q_OBJECT

public:
    // Both must outlive the reporter.
    RunReporter(PingEngine *engine, EventQueue *queue, QObject *parent = nullptr);

signals:
    void lineReported(const QString &line);

private:
    void onStarted();
    void onReplied(const ProbeEvent &reply, qint64 rttNs);
    void onDuplicateReplied(const ProbeEvent &reply, qint64 rttNs);
    void onTimedOut(quint16 sequence);
    void onRequestFailed(const ProbeEvent &error);
    void onTransmitFailed(quint16 sequence, int errnoValue);
    void onProberFailed(const QString &why);
    void onFinished();
    void postLost();
    void postLine(const QString &line);
    // message in the user's language for the event; the surface shows the run's line.
    void postError(const QString &message, const QString &line, qint32 code);

    const PingEngine *m_engine;
    EventQueue *m_queue;
};
