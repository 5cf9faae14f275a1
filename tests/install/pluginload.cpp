// Loads the installed Designer plugin the way Designer and QUiLoader do, makes
// the component through it, and checks what Designer's property editor would
// show. Exits 0 when all holds, 1 saying what did not.
#include <QApplication>
#include <QBuffer>
#include <QFileInfo>
#include <QMetaProperty>
#include <QPluginLoader>
#include <QTextStream>
#include <QWidget>
#include <QUiLoader>
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
    // uic writes the name and the include file into the code it makes.
    if (plugin->name() != QLatin1String("Tarvix::PingWidget") || plugin->group() != QLatin1String("Tarvix"))
        return fail(QStringLiteral("listed as %1 in group %2").arg(plugin->name(), plugin->group()));
    if (plugin->includeFile() != QLatin1String("tarvix/pingwidget.h"))
        return fail(QStringLiteral("included as %1").arg(plugin->includeFile()));
    if (!plugin->domXml().contains(QLatin1String("class=\"Tarvix::PingWidget\"")))
        return fail(QStringLiteral("its form snippet names another class: ") + plugin->domXml());

    QWidget form;
    QWidget *widget = plugin->createWidget(&form);
    if (!widget)
        return fail(QStringLiteral("created nothing"));
    if (QLatin1String(widget->metaObject()->className()) != plugin->name())
        return fail(QStringLiteral("created a %1").arg(QLatin1String(widget->metaObject()->className())));
    const QMetaObject *meta = widget->metaObject();
    for (const char *name : {"display", "packetSize", "timeToLive", "timeout", "interval", "continuous", "count",
                             "resolveAddresses", "active"}) {
        if (!meta->property(meta->indexOfProperty(name)).isDesignable())
            return fail(QStringLiteral("no designable property %1").arg(QLatin1String(name)));
    }
    // As Designer's property editor sets them.
    if (!widget->setProperty("count", 9) || !widget->setProperty("timeout", 300))
        return fail(QStringLiteral("count and timeout cannot be set"));
    if (widget->property("count") != QVariant(9) || widget->property("timeout") != QVariant(300))
        return fail(QStringLiteral("count and timeout read back as %1 and %2")
                        .arg(widget->property("count").toString(), widget->property("timeout").toString()));

    // A form of Designer's, loaded as QUiLoader loads one, finds the widget through the plugin.
    QUiLoader uiLoader;
    uiLoader.clearPluginPaths();
    uiLoader.addPluginPath(QFileInfo(loader.fileName()).absolutePath());
    if (!uiLoader.availableWidgets().contains(plugin->name()))
        return fail(QStringLiteral("QUiLoader does not offer it: ") + uiLoader.availableWidgets().join(u' '));
    QByteArray ui = R"(<ui version="4.0"><class>Form</class><widget class="QWidget" name="Form">
<widget class="Tarvix::PingWidget" name="ping"><property name="count"><number>6</number></property></widget>
</widget></ui>)";
    QBuffer uiFile(&ui);
    std::unique_ptr<QWidget> loaded(uiLoader.load(&uiFile));
    QWidget *loadedPing = loaded ? loaded->findChild<QWidget *>(QStringLiteral("ping")) : nullptr;
    if (!loadedPing || QLatin1String(loadedPing->metaObject()->className()) != plugin->name()
        || loadedPing->property("count") != QVariant(6))
        return fail(QStringLiteral("QUiLoader did not make the widget from a form: ") + uiLoader.errorString());
    QTextStream(stdout) << "created " << plugin->name() << " from " << loader.fileName() << Qt::endl;
    return 0;
}
