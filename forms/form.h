#pragma once

#include "checkbox.h"
#include "commandbutton.h"
#include "componentregistry.h"
#include "eventhandler.h"
#include "formdefinition.h"
#include "hostedpingcontrol.h"
#include "label.h"
#include "shape.h"
#include "textbox.h"
#include "timer.h"

#include <QHash>
#include <QList>
#include <QStringList>
#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;
class QTimer;
class TextBoxWidget;

// A form at run time, built from its definition: the window with its caption,
// client area, colour and font, every control at its place with its design
// values, the hosted components with their saved state, the tab order and the
// default button.
//
// Events reach handlers bound by name, <control>_<event>, on the UI thread.
// Each handler runs inside the form's error trap: a RunTimeError stops the
// handler at the step that raised it, the form returns to idle and one error
// message is shown.
class Form : public QWidget
{
    Q_OBJECT

public:
    using ErrorReporter = std::function<void(const QString &message)>;

    // Throws std::invalid_argument when the definition has problems(): that
    // is a fault of the program, not of its user.
    Form(const FormDefinition &definition, const ComponentRegistry &components, QWidget *parent = nullptr);
    ~Form() override;

    const FormDefinition &definition() const { return m_definition; }

    // Shows the form (centred when its definition says so) with the focus in
    // the control of tab index 0, then reports whatever went wrong loading it.
    void open();

    // Typed handles for handler code. Throw std::invalid_argument when the
    // form has no control of that name and kind.
    TextBox textBox(const QString &name) const;
    CheckBox checkBox(const QString &name) const;
    CommandButton commandButton(const QString &name) const;
    Label label(const QString &name) const;
    Shape shape(const QString &name) const;
    Timer timer(const QString &name) const;
    HostedPingControl pingControl(const QString &name) const;

    // The widget that shows a control, or nullptr (a timer, an unknown name,
    // a component that could not be created).
    QWidget *controlWidget(const QString &name) const;

    // Every event the form raises, <control>_<event>: Click for buttons,
    // Timer for timers, OnPing, OnPingStr and OnPingError for ping controls.
    QStringList eventNames() const { return m_events.keys(); }
    // Binds a handler to an event. Throws std::invalid_argument for a name
    // the form does not raise or a handler of the wrong shape.
    void bind(const QString &eventName, const EventHandler &handler);
    // Raises an event that carries no arguments (a click, a timer tick)
    // exactly as the control would. Throws std::invalid_argument otherwise.
    void raise(const QString &eventName);

    // Every control's Enabled, fill colour and timer interval back to their
    // design values, and a hosted ping control told to stop; texts and
    // check-box states stay as they are.
    void returnToIdle();

    // Where run-time errors and load problems are shown; by default a modal
    // message box with the form's caption as its title.
    void setErrorReporter(const ErrorReporter &reporter);
    // What went wrong creating the form's components.
    const QStringList &loadProblems() const { return m_loadProblems; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Control
    {
        ControlDefinition definition;
        QWidget *widget = nullptr;
        TextBoxWidget *textBox = nullptr;
        QTimer *timer = nullptr;
        Tarvix::PingControl *component = nullptr;
    };

    void createControl(const ControlDefinition &definition, const ComponentRegistry &components);
    void createComponent(Control &control, const ComponentRegistry &components);
    void setUpTabOrder();
    const Control &find(const QString &name, ControlKind kind) const;
    void deliver(const QString &eventName, const std::function<void(const EventHandler &)> &call);
    void runHandler(const std::function<void()> &handler);

    FormDefinition m_definition;
    QList<Control> m_controls;
    // Event name -> index of the handler shape in EventHandler.
    QHash<QString, size_t> m_events;
    QHash<QString, EventHandler> m_handlers;
    QHash<QString, QLabel *> m_labelsByNamedControl;
    QPushButton *m_defaultButton = nullptr;
    QWidget *m_firstFocus = nullptr;
    ErrorReporter m_reporter;
    QStringList m_loadProblems;
};
