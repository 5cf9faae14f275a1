#include "componentregistry.h"

void ComponentRegistry::add(const QString &className, const Tarvix::PingControlFactory &factory)
{
    m_factories.insert(className, factory);
}

Tarvix::PingControl *ComponentRegistry::create(const QString &className, QWidget *parent) const
{
    const auto found = m_factories.constFind(className);
    if (found == m_factories.cend() || !found.value())
        return nullptr;
    return found.value()(parent);
}
