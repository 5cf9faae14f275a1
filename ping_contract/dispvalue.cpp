#include <tarvix/dispvalue.h>

namespace Tarvix {

qint32 DispValue::toInt32() const
{
    const auto *value = std::get_if<qint32>(&m_value);
    return value ? *value : 0;
}

QString DispValue::toText() const
{
    const auto *text = std::get_if<QString>(&m_value);
    return text ? *text : QString();
}

QString DispValue::describe() const
{
    switch (kind()) {
    case Kind::Empty: return QStringLiteral("(empty)");
    case Kind::Int32: return QString::number(toInt32());
    case Kind::Text: return QLatin1Char('"') + toText() + QLatin1Char('"');
    }
    return {};
}

QString DispValue::kindName(Kind kind)
{
    switch (kind) {
    case Kind::Empty: return QStringLiteral("empty");
    case Kind::Int32: return QStringLiteral("32-bit integer");
    case Kind::Text: return QStringLiteral("text");
    }
    return {};
}

} // namespace Tarvix
