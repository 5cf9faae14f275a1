#include "droprule.h"

#include <QStringList>

std::optional<DropRule> DropRule::parse(const QString &spec, QString *error)
{
    const auto fail = [&](const QString &why) -> std::optional<DropRule> {
        if (error)
            *error = QStringLiteral("bad drop spec \"%1\": %2").arg(spec, why);
        return std::nullopt;
    };

    DropRule rule;
    const QString text = spec.trimmed();
    if (text.isEmpty())
        return rule;
    if (text == QLatin1String("all")) {
        rule.m_kind = Kind::All;
        return rule;
    }
    if (text.startsWith(QLatin1String("every:"))) {
        bool ok = false;
        const qulonglong every = text.mid(6).toULongLong(&ok);
        if (!ok || every == 0)
            return fail(QStringLiteral("\"every:N\" needs a whole number N of at least 1"));
        rule.m_kind = Kind::Every;
        rule.m_every = every;
        return rule;
    }
    const QStringList parts = text.split(QLatin1Char(','));
    for (const QString &part : parts) {
        bool ok = false;
        const uint sequence = part.trimmed().toUInt(&ok);
        if (!ok || sequence > 0xffff)
            return fail(QStringLiteral("\"%1\" is not a sequence number from 0 to 65535").arg(part.trimmed()));
        rule.m_sequences.insert(quint16(sequence));
    }
    rule.m_kind = Kind::Listed;
    return rule;
}

bool DropRule::drops(quint16 sequence, quint64 ordinal) const
{
    switch (m_kind) {
    case Kind::None:
        return false;
    case Kind::All:
        return true;
    case Kind::Every:
        return ordinal % m_every == 0;
    case Kind::Listed:
        return m_sequences.contains(sequence);
    }
    return false;
}
