#pragma once

#include <QSet>
#include <QString>
#include <QtGlobal>

#include <optional>

// Which echo requests the test responder leaves unanswered. Written as
//   ""          nothing is dropped
//   "all"       every request
//   "every:N"   the Nth, 2Nth, 3Nth ... request of an address family, counted
//               as they arrive, so the choice does not depend on where the
//               sender starts numbering
//   "2,5"       the requests carrying these sequence numbers
class DropRule
{
public:
    // Never throws: a malformed spec gives nothing and says why in error.
    static std::optional<DropRule> parse(const QString &spec, QString *error = nullptr);

    // ordinal: 1 for the first request of this family the responder saw, 2 for the next...
    bool drops(quint16 sequence, quint64 ordinal) const;

private:
    enum class Kind { None, All, Every, Listed };

    Kind m_kind = Kind::None;
    quint64 m_every = 0;
    QSet<quint16> m_sequences;
};
