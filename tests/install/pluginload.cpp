// Loads the installed Designer plugin the way Designer and QUiLoader do, makes
// the component through it, and checks what Designer's property editor would
// show. Exits 0 when all holds, 1 saying what did not.
#include <QApplication>
#include <QMetaProperty>
#include <QPluginLoader>
#include <QTextStream>
#include <QWidget>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

#include <memory>

namespace {

int fail(const QString &why)
{
    QTextStream(stderr) << why << Qt::endl;
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 2)
        return fail(QStringLiteral("usage: tarvix_test_plugin_load PLUGIN"));
    QPluginLoader loader(QString::fromLocal8Bit(argv[1]));
    QObject *instance = loader.instance();
    if (!instance)
        return fail(QStringLiteral("cannot load: ") + loader.errorString());
    auto *plugin = qobject_cast<QDesignerCustomWidgetInterface *>(instance);
    if (!plugin)
        return fail(QStringLiteral("not a Designer custom widget plugin"));
    if (plugin->name() != QLatin1String("TarvixCtl") || plugin->group() != QLatin1String("Tarvix"))
        return fail(QStringLiteral("listed as %1 in group %2").arg(plugin->name(), plugin->group()));
    if (!plugin->domXml().contains(QLatin1String("class=\"TarvixCtl\"")))
        return fail(QStringLiteral("its form snippet names another class: ") + plugin->domXml());

    QWidget form;
    QWidget *widget = plugin->createWidget(&form);
    if (!widget)
        return fail(QStringLiteral("created nothing"));
    if (QLatin1String(widget->metaObject()->className()) != plugin->name())
        return fail(QStringLiteral("created a %1").arg(QLatin1String(widget->metaObject()->className())));
    const QMetaObject *meta = widget->metaObject();
    for (const char *name : {"packetSize", "timeToLive", "timeout", "continuous", "count", "resolveAddresses",
                             "active", "hostName", "ipAddress"}) {
        if (!meta->property(meta->indexOfProperty(name)).isDesignable())
            return fail(QStringLiteral("no designable property %1").arg(QLatin1String(name)));
    }
    // As Designer's property editor sets them.
    if (!widget->setProperty("count", 9) || !widget->setProperty("timeout", 300))
        return fail(QStringLiteral("count and timeout cannot be set"));
    if (widget->property("count") != QVariant(9) || widget->property("timeout") != QVariant(300))
        return fail(QStringLiteral("count and timeout read back as %1 and %2")
                        .arg(widget->property("count").toString(), widget->property("timeout").toString()));
    QTextStream(stdout) << "created " << plugin->name() << " from " << loader.fileName() << Qt::endl;
    return 0;
}
