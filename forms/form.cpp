#include "form.h"

#include "checkboxwidget.h"
#include "formcolor.h"
#include "framepacer.h"
#include "multilinebox.h"
#include <tarvix/pingevents.h>
#include "runtimeerror.h"
#include "shapewidget.h"
#include "singlelinebox.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTimer>

#include <algorithm>
#include <stdexcept>

using Tarvix::PingControl;
using Tarvix::PingControlProxy;
using Tarvix::PingEvents;

namespace {

// Points become pixels at 96 dpi, like the twips around them, so text keeps
// its size relative to its box whatever the screen's own dpi.
int pointsToPixels(double points)
{
    return qMax(1, qRound(points * 96.0 / 72.0));
}

// A named font is complete in itself: nothing of the form's default (its
// sans-serif hint, its narrowing) carries over to it. The hint is what Qt
// picks a stand-in by when the family is missing, so a fixed-pitch one gets a
// fixed-pitch stand-in and columns of text stay columns.
QFont fontFor(const FontDefinition &definition)
{
    QFont font(definition.family);
    font.setPixelSize(pointsToPixels(definition.pointSize));
    font.setBold(definition.bold);
    font.setItalic(definition.italic);
    font.setStretch(QFont::Unstretched);
    if (definition.isFixedPitch()) {
        font.setStyleHint(QFont::TypeWriter);
        font.setFixedPitch(true);
    } else {
        font.setStyleHint(QFont::AnyStyle);
    }
    return font;
}

// What a form uses when its definition names no font: a sans serif with the
// metrics of the classic 8-point dialog font, narrowed a little so that
// captions laid out for that font fit their boxes.
QFont defaultFormFont()
{
    QFont font(QStringList{QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"), QStringLiteral("Arial"),
                           QStringLiteral("Nimbus Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    font.setStretch(96);
    return font;
}

Qt::Alignment toQt(TextAlignment alignment)
{
    switch (alignment) {
    case TextAlignment::Left: return Qt::AlignLeft;
    case TextAlignment::Right: return Qt::AlignRight;
    case TextAlignment::Center: return Qt::AlignHCenter;
    }
    return Qt::AlignLeft;
}

QString kindName(ControlKind kind)
{
    switch (kind) {
    case ControlKind::TextBox: return QStringLiteral("text box");
    case ControlKind::CheckBox: return QStringLiteral("check box");
    case ControlKind::CommandButton: return QStringLiteral("command button");
    case ControlKind::Label: return QStringLiteral("label");
    case ControlKind::Shape: return QStringLiteral("shape");
    case ControlKind::Timer: return QStringLiteral("timer");
    case ControlKind::PingControl: return QStringLiteral("ping control");
    }
    return {};
}

void configureMultiLine(MultiLineBox *box, const ControlDefinition &definition)
{
    const ScrollBars bars = definition.scrollBars();
    const bool vertical = bars == ScrollBars::Vertical || bars == ScrollBars::Both;
    const bool horizontal = bars == ScrollBars::Horizontal || bars == ScrollBars::Both;
    box->setScrollBars(vertical, horizontal);
    QTextOption option = box->document()->defaultTextOption();
    option.setAlignment(toQt(definition.alignment()));
    box->document()->setDefaultTextOption(option);
}

} // namespace

Form::Form(const FormDefinition &definition, const ComponentRegistry &components, QWidget *parent)
    : QWidget(parent), m_definition(definition)
{
    if (const QStringList problems = definition.problems(); !problems.isEmpty())
        throw std::invalid_argument(problems.join(u'\n').toStdString());

    setObjectName(definition.name());
    setWindowTitle(definition.caption());
    resize(twipsToPixels(definition.clientWidth()), twipsToPixels(definition.clientHeight()));
    setFont(definition.font() ? fontFor(*definition.font()) : defaultFormFont());
    if (const auto back = definition.backColor()) {
        QPalette colours = palette();
        colours.setColor(QPalette::Window, colorFromBgr(*back));
        setPalette(colours);
        setAutoFillBackground(true);
    }
    m_reporter = [this](const QString &message) { QMessageBox::critical(this, windowTitle(), message); };
    // A form whose log or lamp changes with every reply is painted once per
    // frame, not once per reply.
    new FramePacer(this);

    for (const ControlDefinition &control : definition.controls())
        createControl(control, components);
    setUpTabOrder();
    // A label names its control for a screen reader too: the control's
    // accessible name is the label's text.
    for (auto it = m_labelsByNamedControl.cbegin(); it != m_labelsByNamedControl.cend(); ++it) {
        for (const Control &control : std::as_const(m_controls)) {
            if (control.definition.name() == it.key() && control.widget)
                it.value()->setBuddy(control.widget);
        }
    }
}

Form::~Form()
{
    // The components are children and die after the handler table; an event
    // they raise while going must not reach a handler any more.
    for (const Control &control : std::as_const(m_controls)) {
        if (control.component)
            disconnect(control.component->events(), nullptr, this, nullptr);
    }
}

void Form::createControl(const ControlDefinition &definition, const ComponentRegistry &components)
{
    Control control{definition};
    const QString &name = definition.name();

    switch (definition.kind()) {
    case ControlKind::TextBox:
        if (definition.isMultiLine()) {
            auto *box = new MultiLineBox(this);
            configureMultiLine(box, definition);
            control.widget = box;
            control.textBox = box;
        } else {
            auto *box = new SingleLineBox(this);
            box->setAlignment(toQt(definition.alignment()) | Qt::AlignVCenter);
            box->installEventFilter(this);
            control.widget = box;
            control.textBox = box;
        }
        control.textBox->setTextValue(definition.caption());
        break;
    case ControlKind::CheckBox: {
        auto *box = new CheckBoxWidget(definition.caption(), this);
        box->setValue(definition.value());
        box->installEventFilter(this);
        control.widget = box;
        break;
    }
    case ControlKind::CommandButton: {
        auto *button = new QPushButton(definition.caption(), this);
        button->installEventFilter(this);
        if (definition.isDefault()) {
            button->setDefault(true);
            m_defaultButton = button;
        }
        const QString event = name + QStringLiteral("_Click");
        m_events.insert(event, 0);
        connect(button, &QPushButton::clicked, this,
                [this, event] { deliver(event, [](const EventHandler &handler) { std::get<PlainHandler>(handler)(); }); });
        control.widget = button;
        break;
    }
    case ControlKind::Label: {
        auto *label = new QLabel(definition.caption(), this);
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
        label->setAlignment(toQt(definition.alignment()) | Qt::AlignTop);
        label->setFocusPolicy(Qt::NoFocus);
        if (!definition.namedControl().isEmpty())
            m_labelsByNamedControl.insert(definition.namedControl(), label);
        control.widget = label;
        break;
    }
    case ControlKind::Shape:
        control.widget = new ShapeWidget(definition.shapeKind(), definition.fillStyle(), definition.fillColor(), this);
        break;
    case ControlKind::Timer: {
        auto *timer = new QTimer(this);
        const QString event = name + QStringLiteral("_Timer");
        m_events.insert(event, 0);
        connect(timer, &QTimer::timeout, this,
                [this, event] { deliver(event, [](const EventHandler &handler) { std::get<PlainHandler>(handler)(); }); });
        Timer::apply(timer, definition.interval());
        control.timer = timer;
        break;
    }
    case ControlKind::PingControl:
        createComponent(control, components);
        break;
    }

    if (control.widget) {
        control.widget->setObjectName(name);
        control.widget->setGeometry(twipsToPixels(definition.rect()));
        if (definition.font())
            control.widget->setFont(fontFor(*definition.font()));
        control.widget->setEnabled(definition.isEnabled());
        if (!definition.accessibleName().isEmpty())
            control.widget->setAccessibleName(definition.accessibleName());
    }
    m_controls.append(control);
}

void Form::createComponent(Control &control, const ComponentRegistry &components)
{
    const ControlDefinition &definition = control.definition;
    const QString &name = definition.name();
    // The events belong to the definition: handlers bind even when the
    // component itself cannot be had.
    m_events.insert(name + QStringLiteral("_OnPing"), 1);
    m_events.insert(name + QStringLiteral("_OnPingStr"), 2);
    m_events.insert(name + QStringLiteral("_OnPingError"), 3);

    PingControl *component = components.create(definition.className(), this);
    if (!component) {
        m_loadProblems << QStringLiteral("%1: the component \"%2\" is not available, so nothing can be pinged.")
                              .arg(name, definition.className());
        return;
    }
    control.component = component;
    control.widget = component->widget();
    if (control.widget->parentWidget() != this)
        control.widget->setParent(this);
    if (!definition.savedState().isEmpty() && !component->loadState(definition.savedState()))
        m_loadProblems << QStringLiteral("%1: the component could not read its saved settings and starts with its "
                                         "own defaults.")
                              .arg(name);

    const PingEvents *events = component->events();
    connect(events, &PingEvents::OnPing, this,
            [this, event = name + QStringLiteral("_OnPing")](const QString &ip, qint32 bytes, qint32 time,
                                                              qint32 ttl) {
                deliver(event, [&](const EventHandler &handler) {
                    std::get<OnPingHandler>(handler)(ip, bytes, time, ttl);
                });
            });
    connect(events, &PingEvents::OnPingStr, this,
            [this, event = name + QStringLiteral("_OnPingStr")](const QString &text) {
                deliver(event, [&](const EventHandler &handler) { std::get<OnPingStrHandler>(handler)(text); });
            });
    connect(events, &PingEvents::OnPingError, this,
            [this, event = name + QStringLiteral("_OnPingError")](const QString &text, qint32 code) {
                deliver(event,
                        [&](const EventHandler &handler) { std::get<OnPingErrorHandler>(handler)(text, code); });
            });
}

void Form::setUpTabOrder()
{
    QList<const Control *> order;
    for (const Control &control : m_controls) {
        if (control.widget && control.definition.tabIndex() && control.widget->focusPolicy() != Qt::NoFocus)
            order.append(&control);
    }
    std::stable_sort(order.begin(), order.end(), [](const Control *a, const Control *b) {
        return *a->definition.tabIndex() < *b->definition.tabIndex();
    });
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1]->widget, order[i]->widget);
    m_firstFocus = order.isEmpty() ? nullptr : order.first()->widget;
}

void Form::open()
{
    if (m_definition.startUpPosition() == StartUpPosition::CenterScreen) {
        if (const QScreen *screen = this->screen())
            setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), screen->availableGeometry()));
    }
    show();
    if (m_firstFocus)
        m_firstFocus->setFocus(Qt::OtherFocusReason);
    activateWindow();
    if (!m_loadProblems.isEmpty())
        m_reporter(m_loadProblems.join(u'\n'));
}

const Form::Control &Form::find(const QString &name, ControlKind kind) const
{
    for (const Control &control : m_controls) {
        if (control.definition.name() == name) {
            if (control.definition.kind() != kind)
                break;
            return control;
        }
    }
    throw std::invalid_argument(
        QStringLiteral("%1 has no %2 named %3.").arg(m_definition.name(), kindName(kind), name).toStdString());
}

TextBox Form::textBox(const QString &name) const
{
    const Control &control = find(name, ControlKind::TextBox);
    return TextBox(name, control.textBox, m_labelsByNamedControl.value(name));
}

CheckBox Form::checkBox(const QString &name) const
{
    return CheckBox(name, static_cast<CheckBoxWidget *>(find(name, ControlKind::CheckBox).widget));
}

CommandButton Form::commandButton(const QString &name) const
{
    return CommandButton(name, static_cast<QPushButton *>(find(name, ControlKind::CommandButton).widget));
}

Label Form::label(const QString &name) const
{
    return Label(name, static_cast<QLabel *>(find(name, ControlKind::Label).widget));
}

Shape Form::shape(const QString &name) const
{
    return Shape(name, static_cast<ShapeWidget *>(find(name, ControlKind::Shape).widget));
}

Timer Form::timer(const QString &name) const
{
    return Timer(name, find(name, ControlKind::Timer).timer);
}

HostedPingControl Form::pingControl(const QString &name) const
{
    return HostedPingControl(name, find(name, ControlKind::PingControl).component);
}

QWidget *Form::controlWidget(const QString &name) const
{
    for (const Control &control : m_controls) {
        if (control.definition.name() == name)
            return control.widget;
    }
    return nullptr;
}

void Form::bind(const QString &eventName, const EventHandler &handler)
{
    const auto event = m_events.constFind(eventName);
    if (event == m_events.cend())
        throw std::invalid_argument(
            QStringLiteral("%1 raises no event %2.").arg(m_definition.name(), eventName).toStdString());
    if (event.value() != handler.index())
        throw std::invalid_argument(
            QStringLiteral("The handler for %1 does not take that event's arguments.").arg(eventName).toStdString());
    m_handlers.insert(eventName, handler);
}

void Form::raise(const QString &eventName)
{
    const auto event = m_events.constFind(eventName);
    if (event == m_events.cend() || event.value() != 0)
        throw std::invalid_argument(
            QStringLiteral("%1 raises no event %2 without arguments.").arg(m_definition.name(), eventName).toStdString());
    deliver(eventName, [](const EventHandler &handler) { std::get<PlainHandler>(handler)(); });
}

void Form::deliver(const QString &eventName, const std::function<void(const EventHandler &)> &call)
{
    const auto found = m_handlers.constFind(eventName);
    if (found == m_handlers.cend())
        return;
    // A copy, so that a handler that binds anew does not pull itself from under its own feet.
    const EventHandler handler = found.value();
    runHandler([&] { call(handler); });
}

void Form::runHandler(const std::function<void()> &handler)
{
    QString message;
    try {
        handler();
        return;
    } catch (const RunTimeError &error) {
        message = error.message();
    } catch (const std::exception &error) {
        message = QStringLiteral("Unexpected error: %1").arg(QString::fromUtf8(error.what()));
    }
    // Idle first: while the message is up the form must not go on polling or
    // offer a button for a run that is not there.
    returnToIdle();
    m_reporter(message);
}

void Form::returnToIdle()
{
    for (const Control &control : std::as_const(m_controls)) {
        const ControlDefinition &definition = control.definition;
        if (control.widget)
            control.widget->setEnabled(definition.isEnabled());
        if (definition.kind() == ControlKind::Shape)
            static_cast<ShapeWidget *>(control.widget)->setFillColor(definition.fillColor());
        if (control.timer)
            Timer::apply(control.timer, definition.interval());
        // A run the handler had already started would go on behind a green
        // lamp. Stopping is a plain write of 0 to Active; should the component
        // refuse it, the error that brought us here is the one worth showing.
        if (control.component)
            PingControlProxy(control.component).setActive(0);
    }
}

void Form::setErrorReporter(const ErrorReporter &reporter)
{
    m_reporter = reporter;
}

bool Form::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            // Enter presses a focused button; from a single-line box or a
            // check box it presses the form's default button.
            auto *button = qobject_cast<QPushButton *>(watched);
            if (!button)
                button = m_defaultButton;
            if (button) {
                if (button->isEnabled())
                    button->click();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}
