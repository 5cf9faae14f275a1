#include "runtranscript.h"

#include "pingtext.h"

#include <QDateTime>
#include <QTimeZone>

namespace {

const QString crlf = QStringLiteral("\r\n");

QString csvField(QString field)
{
    if (!field.contains(QLatin1Char(',')) && !field.contains(QLatin1Char('"')) && !field.contains(QLatin1Char('\n'))
        && !field.contains(QLatin1Char('\r')))
        return field;
    field.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + field + QLatin1Char('"');
}

} // namespace

QString RunTranscript::text(const RunState &run)
{
    const RunHistory &history = run.history();
    QString text = PingText::header(run.target(), run.settings().packetSize);
    if (history.firstExact() > 0)
        text += QStringLiteral("(%1 earlier requests, summed up: %2)")
                    .arg(history.firstExact())
                    .arg(PingText::summaryReadout(history.summary(0, history.firstExact())))
            + crlf;
    for (qint64 o = history.firstExact(); o < history.total(); ++o)
        text += PingText::request(run.target(), run.settings().timeout, *history.exact(o));
    return text + PingText::statistics(run.target(), run.statistics());
}

QString RunTranscript::csvHeader()
{
    return QStringLiteral("sequence,time,address,bytes,ttl,rtt_ms,outcome") + crlf;
}

QString RunTranscript::csvRow(const RunState &run, const RunHistory::Sample &sample)
{
    // ISO 8601 in UTC, to the millisecond, with the Z that says so.
    const QString time = QDateTime::fromMSecsSinceEpoch(sample.timeNs / 1000000, QTimeZone::utc())
                             .toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz'Z'"));
    const bool reply = sample.kind == RunHistory::Sample::Kind::Reply;
    QString outcome;
    switch (sample.kind) {
    case RunHistory::Sample::Kind::Reply: outcome = QStringLiteral("reply"); break;
    case RunHistory::Sample::Kind::Lost: outcome = QStringLiteral("timed out"); break;
    case RunHistory::Sample::Kind::Error: outcome = QStringLiteral("error: ") + sample.text.trimmed(); break;
    }
    const QStringList fields{QString::number(sample.sequence),
                             time,
                             run.target().address.toString(),
                             reply && sample.bytes >= 0 ? QString::number(sample.bytes) : QString(),
                             reply && sample.ttl >= 0 ? QString::number(sample.ttl) : QString(),
                             reply ? PingText::milliseconds(sample.rttNs) : QString(),
                             outcome};
    QStringList quoted;
    for (const QString &field : fields)
        quoted << csvField(field);
    return quoted.join(QLatin1Char(',')) + crlf;
}

QString RunTranscript::csv(const RunState &run)
{
    const RunHistory &history = run.history();
    QString text = csvHeader();
    for (qint64 o = history.firstExact(); o < history.total(); ++o)
        text += csvRow(run, *history.exact(o));
    return text;
}
