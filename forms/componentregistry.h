#pragma once

#include <tarvix/pingcontrol.h>

#include <QHash>
#include <QString>
#include <QStringList>

// The components a form can host, by class name. A form definition names the
// class; the program registers the factory that makes it.
class ComponentRegistry
{
public:
    void add(const QString &className, const Tarvix::PingControlFactory &factory);
    bool contains(const QString &className) const { return m_factories.contains(className); }
    QStringList classNames() const { return m_factories.keys(); }

    // A new component whose widget is a child of parent, or nullptr when no
    // factory is registered for the class or the factory made nothing.
    Tarvix::PingControl *create(const QString &className, QWidget *parent) const;

private:
    QHash<QString, Tarvix::PingControlFactory> m_factories;
};
