#include "tarvixdesignerplugin.h"

#include <tarvix/pingwidget.h>

#include <QIcon>

QString TarvixDesignerPlugin::name() const
{
    // The class as uic writes it into the code it makes: with its namespace.
    return QStringLiteral("Tarvix::PingWidget");
}

QString TarvixDesignerPlugin::group() const
{
    return QStringLiteral("Tarvix");
}

QString TarvixDesignerPlugin::toolTip() const
{
    return QStringLiteral("Pings a host and shows the run as a chart or a lamp");
}

QString TarvixDesignerPlugin::whatsThis() const
{
    return QStringLiteral("Sends ICMP echo requests to a host and shows the run as a chart of round trips, "
                          "or as a lamp; set its count, interval, time-out, packet size and TTL here, call "
                          "ping(host), and connect to pinger() for its results.");
}

QString TarvixDesignerPlugin::includeFile() const
{
    return QStringLiteral("tarvix/pingwidget.h");
}

QIcon TarvixDesignerPlugin::icon() const
{
    return QIcon::fromTheme(QStringLiteral("org.tarvix.Tarvix"));
}

QWidget *TarvixDesignerPlugin::createWidget(QWidget *parent)
{
    return new Tarvix::PingWidget(parent);
}

QString TarvixDesignerPlugin::domXml() const
{
    // Large enough for the chart.
    return QStringLiteral(R"(<ui language="c++">
 <widget class="Tarvix::PingWidget" name="pingWidget">
  <property name="geometry">
   <rect><x>0</x><y>0</y><width>360</width><height>200</height></rect>
  </property>
 </widget>
</ui>
)");
}
