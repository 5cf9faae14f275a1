#pragma once

#include <tarvix/pingcontrol.h>

#include <QHash>
#include <QList>
#include <QWidget>

#include <functional>
#include <iosfwd>

namespace Tarvix {
class PingEvents;
}

// A ping control for tests: it honours the contract's members and access
// kinds, records every dispatch call in order, answers reads with values the
// test sets, fails the calls the test names and raises events on demand.
// Writes are kept, so a later read of the same property sees them.
//
// It can also raise events from inside its Ping call. The real component never
// does that, but a host must cope with it.
class ScriptedPingControl : public QWidget, public Tarvix::PingControl
{
    Q_OBJECT

public:
    struct Call
    {
        qint32 dispId;
        Tarvix::DispKind kind;
        QList<Tarvix::DispValue> args;

        friend bool operator==(const Call &, const Call &) = default;
    };

    explicit ScriptedPingControl(QWidget *parent = nullptr);
    ~ScriptedPingControl() override;

    Tarvix::DispResult invoke(qint32 dispId, Tarvix::DispKind kind, const QList<Tarvix::DispValue> &args = {}) override;
    Tarvix::PingEvents *events() override { return m_events; }
    QWidget *widget() override { return this; }
    bool loadState(const QByteArray &stream) override;
    QByteArray saveState() const override { return m_state; }

    // What the test scripts.
    void setValue(Tarvix::DispId id, const Tarvix::DispValue &value) { m_values.insert(qint32(id), value); }
    Tarvix::DispValue value(Tarvix::DispId id) const { return m_values.value(qint32(id)); }
    // Every call of that member fails with this message from now on.
    void failOn(Tarvix::DispId id, const QString &message) { m_failures.insert(qint32(id), message); }
    void clearFailures() { m_failures.clear(); }
    // Runs inside each Ping call, after the call was recorded.
    void setDuringPing(const std::function<void()> &action) { m_duringPing = action; }
    // Runs as the control is destroyed, while its events can still be raised.
    void setOnDestruction(const std::function<void()> &action) { m_onDestruction = action; }
    // Whether loadState accepts a stream.
    void setAcceptsState(bool accepts) { m_acceptsState = accepts; }

    void raiseOnPing(const QString &ipAddress, qint32 bytes, qint32 time, qint32 ttl);
    void raiseOnPingStr(const QString &text);
    void raiseOnPingError(const QString &text, qint32 code);

    // What the host did.
    const QList<Call> &calls() const { return m_calls; }
    void clearCalls() { m_calls.clear(); }
    const QByteArray &loadedState() const { return m_state; }

    static Call put(Tarvix::DispId id, qint32 value) { return {qint32(id), Tarvix::DispKind::PropertyPut, {value}}; }
    static Call get(Tarvix::DispId id) { return {qint32(id), Tarvix::DispKind::PropertyGet, {}}; }
    static Call method(Tarvix::DispId id, const QList<Tarvix::DispValue> &args)
    {
        return {qint32(id), Tarvix::DispKind::Method, args};
    }

private:
    Tarvix::DispResult checkAccess(qint32 dispId, Tarvix::DispKind kind, const QList<Tarvix::DispValue> &args) const;

    Tarvix::PingEvents *m_events;
    QList<Call> m_calls;
    QHash<qint32, Tarvix::DispValue> m_values;
    QHash<qint32, QString> m_failures;
    std::function<void()> m_duringPing;
    std::function<void()> m_onDestruction;
    bool m_acceptsState = true;
    QByteArray m_state;
};

// Printed by GoogleTest when call lists differ.
void PrintTo(const ScriptedPingControl::Call &call, std::ostream *out);
