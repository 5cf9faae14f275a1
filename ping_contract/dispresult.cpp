#include <tarvix/dispresult.h>

namespace Tarvix {

namespace {

QString memberLabel(qint32 dispId)
{
    const QString name = dispIdName(dispId);
    return name.isEmpty() ? QStringLiteral("DISPID %1").arg(dispId)
                          : QStringLiteral("%1 (DISPID %2)").arg(name).arg(dispId);
}

} // namespace

DispResult DispResult::unknownMember(qint32 dispId)
{
    return failure(Error::UnknownMember,
                   QStringLiteral("The component has no member with DISPID %1.").arg(dispId));
}

DispResult DispResult::wrongAccess(qint32 dispId, DispKind kind)
{
    return failure(Error::WrongAccess,
                   QStringLiteral("%1 does not support a %2.").arg(memberLabel(dispId), dispKindName(kind)));
}

DispResult DispResult::wrongArgumentCount(qint32 dispId, int expected, int given)
{
    return failure(Error::WrongArgumentCount,
                   QStringLiteral("%1 takes %2 argument(s), %3 given.")
                       .arg(memberLabel(dispId))
                       .arg(expected)
                       .arg(given));
}

DispResult DispResult::typeMismatch(qint32 dispId, DispValue::Kind expected, const DispValue &given)
{
    return failure(Error::TypeMismatch,
                   QStringLiteral("%1 expects a %2, got %3 %4.")
                       .arg(memberLabel(dispId), DispValue::kindName(expected),
                            DispValue::kindName(given.kind()), given.describe()));
}

} // namespace Tarvix
