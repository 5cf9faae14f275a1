#include "tarvixdesignerplugin.h"

#include <tarvix/tarvixwidget.h>

#include <QIcon>

QString TarvixDesignerPlugin::name() const
{
    return QStringLiteral("TarvixCtl");
}

QString TarvixDesignerPlugin::group() const
{
    return QStringLiteral("Tarvix");
}

QString TarvixDesignerPlugin::toolTip() const
{
    return QStringLiteral("Tarvix ping component");
}

QString TarvixDesignerPlugin::whatsThis() const
{
    return QStringLiteral("Sends ICMP echo requests to a host and shows the run; "
                          "set its count, time-out, packet size and TTL, and connect its signals.");
}

QString TarvixDesignerPlugin::includeFile() const
{
    return QStringLiteral("tarvix/tarvixwidget.h");
}

QIcon TarvixDesignerPlugin::icon() const
{
    return QIcon::fromTheme(QStringLiteral("org.tarvix.Tarvix"));
}

QWidget *TarvixDesignerPlugin::createWidget(QWidget *parent)
{
    return Tarvix::TarvixWidget::create(parent);
}

QString TarvixDesignerPlugin::domXml() const
{
    // The size the component has on the programs' forms.
    return QStringLiteral(R"(<ui language="c++">
 <widget class="TarvixCtl" name="tarvixCtl">
  <property name="geometry">
   <rect><x>0</x><y>0</y><width>240</width><height>120</height></rect>
  </property>
 </widget>
</ui>
)");
}
