#include "responderoptions.h"

#include "droprule.h"

#include <QCommandLineParser>

#include <array>
#include <utility>

namespace {

using ErrorKind = ResponderOptions::ErrorKind;

constexpr std::array<std::pair<ErrorKind, const char *>, 6> errorKindNames{{
    {ErrorKind::HostUnreachable, "host-unreachable"},
    {ErrorKind::NetUnreachable, "net-unreachable"},
    {ErrorKind::PortUnreachable, "port-unreachable"},
    {ErrorKind::TtlExceeded, "ttl-exceeded"},
    {ErrorKind::PacketTooBig, "packet-too-big"},
    {ErrorKind::ParameterProblem, "parameter-problem"},
}};

// Limits keep the schedule arithmetic far from overflow and catch typos.
constexpr int maxMilliseconds = 3'600'000;
constexpr int maxDuplicates = 1000;

struct Definitions
{
    QCommandLineOption delay{QStringLiteral("delay-ms"),
                             QStringLiteral("Answer N ms after the kernel received the request."),
                             QStringLiteral("N")};
    QCommandLineOption drop{QStringLiteral("drop"),
                            QStringLiteral("Leave requests unanswered: \"all\", \"every:N\" (the Nth, 2Nth... "
                                           "request of a family) or sequence numbers such as \"2,5\". "
                                           "A dropped request gets no noise either."),
                            QStringLiteral("SPEC")};
    QCommandLineOption duplicate{QStringLiteral("duplicate"),
                                 QStringLiteral("Send the answer N more times."), QStringLiteral("N")};
    QCommandLineOption foreignId{QStringLiteral("foreign-id"),
                                 QStringLiteral("Noise: the reply with another identifier first.")};
    QCommandLineOption wrongSequence{QStringLiteral("wrong-sequence"),
                                     QStringLiteral("Noise: the reply with sequence + 1 first.")};
    QCommandLineOption badChecksum{QStringLiteral("bad-checksum"),
                                   QStringLiteral("Noise: the reply with a wrong checksum first. IPv4 only: "
                                                  "the kernel computes the checksum of everything sent on a "
                                                  "raw ICMPv6 socket, so IPv6 requests get no such noise.")};
    QCommandLineOption corruptPayload{QStringLiteral("corrupt-payload"),
                                      QStringLiteral("Noise: the reply with its middle payload byte inverted "
                                                     "and a correct checksum first (not for empty payloads).")};
    QCommandLineOption noiseOnly{QStringLiteral("noise-only"),
                                 QStringLiteral("Send the noise but neither the answer nor its duplicates "
                                                "(a --late-ms copy still goes out).")};
    QCommandLineOption forgedError{QStringLiteral("forged-error"),
                                   QStringLiteral("At once, before the answer: a host-unreachable error that "
                                                  "quotes the request with another destination address.")};
    QCommandLineOption late{QStringLiteral("late-ms"),
                            QStringLiteral("Send the answer once more, N ms after the first."),
                            QStringLiteral("N")};
    QCommandLineOption error{QStringLiteral("error"),
                             QStringLiteral("Answer with an ICMP error quoting the request instead of a "
                                            "reply: host-unreachable, net-unreachable, port-unreachable, "
                                            "ttl-exceeded, packet-too-big (fragmentation needed on IPv4), "
                                            "parameter-problem."),
                             QStringLiteral("KIND")};
    QCommandLineOption ttl{QStringLiteral("ttl"),
                           QStringLiteral("TTL or hop limit of everything sent, 1 to 255."), QStringLiteral("N")};

    void addTo(QCommandLineParser &parser) const
    {
        parser.addOptions({delay, drop, duplicate, foreignId, wrongSequence, badChecksum, corruptPayload,
                           noiseOnly, forgedError, late, error, ttl});
    }
};

void setUpParser(QCommandLineParser &parser, const Definitions &definitions)
{
    parser.setApplicationDescription(
        QStringLiteral("Answers ICMP and ICMPv6 echo requests on raw sockets, for tests of a ping program.\n"
                       "Run it where the kernel's own echo is off (net.ipv4.icmp_echo_ignore_all=1,\n"
                       "net.ipv6.icmp.echo_ignore_all=1). Prints \"ready\" once its sockets are open,\n"
                       "logs each request on stderr and stops on SIGTERM.\n"
                       "For each request, at its receive time plus the delay, it sends the noise asked\n"
                       "for, then the answer (the reply, or the ICMP error), then the duplicates."));
    parser.addHelpOption();
    definitions.addTo(parser);
}

bool readInt(const QCommandLineParser &parser, const QCommandLineOption &option, int low, int high, int *out,
             QString *error)
{
    if (!parser.isSet(option))
        return true;
    const QString text = parser.value(option);
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < low || value > high) {
        *error = QStringLiteral("--%1 %2: expected a whole number from %3 to %4")
                     .arg(option.names().constFirst(), text)
                     .arg(low)
                     .arg(high);
        return false;
    }
    *out = value;
    return true;
}

} // namespace

QString ResponderOptions::errorKindName(ErrorKind kind)
{
    for (const auto &[k, name] : errorKindNames) {
        if (k == kind)
            return QString::fromLatin1(name);
    }
    return {};
}

std::optional<ResponderOptions::ErrorKind> ResponderOptions::errorKindFromName(const QString &name)
{
    for (const auto &[kind, n] : errorKindNames) {
        if (name == QLatin1String(n))
            return kind;
    }
    return std::nullopt;
}

QStringList ResponderOptions::toArguments() const
{
    QStringList arguments;
    const auto addValue = [&](const char *name, const QString &value) {
        arguments << QStringLiteral("--%1").arg(QLatin1String(name)) << value;
    };
    const auto addFlag = [&](const char *name, bool set) {
        if (set)
            arguments << QStringLiteral("--%1").arg(QLatin1String(name));
    };
    if (delayMs != 0)
        addValue("delay-ms", QString::number(delayMs));
    if (!drop.isEmpty())
        addValue("drop", drop);
    if (duplicate != 0)
        addValue("duplicate", QString::number(duplicate));
    addFlag("foreign-id", foreignId);
    addFlag("wrong-sequence", wrongSequence);
    addFlag("bad-checksum", badChecksum);
    addFlag("corrupt-payload", corruptPayload);
    addFlag("noise-only", noiseOnly);
    addFlag("forged-error", forgedError);
    if (lateMs != 0)
        addValue("late-ms", QString::number(lateMs));
    if (error != ErrorKind::None)
        addValue("error", errorKindName(error));
    if (ttl != 0)
        addValue("ttl", QString::number(ttl));
    return arguments;
}

std::optional<ResponderOptions> ResponderOptions::fromArguments(const QStringList &arguments, QString *error)
{
    const Definitions d;
    QCommandLineParser parser;
    setUpParser(parser, d);
    // The parser expects the program name first.
    if (!parser.parse(QStringList{QStringLiteral("tarvix_test_responder")} + arguments)) {
        *error = parser.errorText();
        return std::nullopt;
    }
    if (!parser.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().constFirst());
        return std::nullopt;
    }

    ResponderOptions options;
    if (!readInt(parser, d.delay, 0, maxMilliseconds, &options.delayMs, error)
        || !readInt(parser, d.duplicate, 0, maxDuplicates, &options.duplicate, error)
        || !readInt(parser, d.late, 1, maxMilliseconds, &options.lateMs, error)
        || !readInt(parser, d.ttl, 1, 255, &options.ttl, error))
        return std::nullopt;
    if (parser.isSet(d.drop)) {
        options.drop = parser.value(d.drop);
        if (!DropRule::parse(options.drop, error))
            return std::nullopt;
    }
    if (parser.isSet(d.error)) {
        const auto kind = errorKindFromName(parser.value(d.error));
        if (!kind) {
            *error = QStringLiteral("--error %1: unknown kind").arg(parser.value(d.error));
            return std::nullopt;
        }
        options.error = *kind;
    }
    options.foreignId = parser.isSet(d.foreignId);
    options.wrongSequence = parser.isSet(d.wrongSequence);
    options.badChecksum = parser.isSet(d.badChecksum);
    options.corruptPayload = parser.isSet(d.corruptPayload);
    options.noiseOnly = parser.isSet(d.noiseOnly);
    options.forgedError = parser.isSet(d.forgedError);
    return options;
}

QString ResponderOptions::usage()
{
    const Definitions d;
    QCommandLineParser parser;
    setUpParser(parser, d);
    return parser.helpText();
}
