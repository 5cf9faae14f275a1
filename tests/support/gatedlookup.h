#pragma once

#include "hostresolver.h"

#include <QString>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

// A name lookup that hangs like a name server that never answers: it blocks
// its worker thread until the test opens the gate, then gives its answer.
// A deadline opens the gate on its own, so that a wait that fails to end
// cannot hang the whole test run; a test checks that its wait ended while the
// lookup was still blocked. The destructor opens the gate and waits until the
// lookup has returned, so no lookup outlives its test.
class GatedLookup
{
public:
    explicit GatedLookup(HostResolver::Result answer, std::chrono::milliseconds deadline = std::chrono::seconds(5))
        : m_state(std::make_shared<State>())
    {
        m_state->answer = std::move(answer);
        m_state->deadline = std::chrono::steady_clock::now() + deadline;
    }
    ~GatedLookup()
    {
        open();
        waitUntilReturned(std::chrono::seconds(10));
    }
    GatedLookup(const GatedLookup &) = delete;
    GatedLookup &operator=(const GatedLookup &) = delete;

    // An answer for host: resolved to address, with host as the HostName.
    static HostResolver::Result resolvedTo(const QString &host, const char *address)
    {
        HostResolver::Result result;
        result.status = HostResolver::Result::Status::Resolved;
        result.host = host;
        result.address = HostAddress(QLatin1String(address));
        result.hostName = host;
        return result;
    }

    // What the resolver runs on its worker; the state it shares stays alive
    // as long as the lookup runs, whatever happens to this object.
    HostResolver::Lookup lookup() const
    {
        return [state = m_state](const QString &, bool) {
            std::unique_lock lock(state->mutex);
            ++state->entered;
            state->changed.notify_all();
            state->changed.wait_until(lock, state->deadline, [&] { return state->open; });
            ++state->returned;
            state->changed.notify_all();
            return state->answer;
        };
    }

    void open()
    {
        const std::lock_guard lock(m_state->mutex);
        m_state->open = true;
        m_state->changed.notify_all();
    }

    int entered() const { return read(&State::entered); }
    int returned() const { return read(&State::returned); }

    // Until every lookup that entered has returned.
    bool waitUntilReturned(std::chrono::milliseconds timeout) const
    {
        std::unique_lock lock(m_state->mutex);
        return m_state->changed.wait_for(lock, timeout, [&] { return m_state->returned == m_state->entered; });
    }

private:
    struct State
    {
        std::mutex mutex;
        std::condition_variable changed;
        bool open = false;
        int entered = 0;
        int returned = 0;
        std::chrono::steady_clock::time_point deadline;
        HostResolver::Result answer;
    };

    int read(int State::*counter) const
    {
        const std::lock_guard lock(m_state->mutex);
        return (*m_state).*counter;
    }

    std::shared_ptr<State> m_state;
};
