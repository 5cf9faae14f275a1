#pragma once

#include <QString>
#include <QStringList>

// A network namespace of a test's own (ip netns add), which the calling
// thread can enter and leave. Its name is unique per process; it is removed
// when the object goes, whatever happened in between.
class TestNamespace
{
public:
    TestNamespace();
    ~TestNamespace();
    TestNamespace(const TestNamespace &) = delete;
    TestNamespace &operator=(const TestNamespace &) = delete;

    // Empty when the namespace exists with its loopback up; otherwise why not.
    QString error() const { return m_error; }
    QString name() const { return m_name; }

    // Runs a command inside the namespace (ip netns exec); empty on success,
    // else the command's output.
    QString exec(const QStringList &command);
    QString setPingGroupRange(const QString &range);

    // Moves the calling thread into the namespace and back.
    bool enter();
    bool leave();

private:
    static QString run(const QStringList &arguments);

    QString m_name;
    QString m_error;
    bool m_created = false;
    int m_originalNamespace = -1;
};
