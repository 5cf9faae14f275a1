#pragma once

#include "eventrecorder.h"
#include "tarvixctl.h"

#include <gtest/gtest.h>

// A control of its own for each test, its events recorded, and the dispatch
// calls a host makes, in short.
class TarvixCtlFixture : public ::testing::Test
{
protected:
    TarvixCtl control;
    EventRecorder recorder{control.events()};

    Tarvix::DispResult put(Tarvix::DispId id, const Tarvix::DispValue &v)
    {
        return control.invoke(qint32(id), Tarvix::DispKind::PropertyPut, {v});
    }
    Tarvix::DispValue get(Tarvix::DispId id)
    {
        return control.invoke(qint32(id), Tarvix::DispKind::PropertyGet).value();
    }
    Tarvix::DispResult ping(const QString &host)
    {
        return control.invoke(qint32(Tarvix::DispId::Ping), Tarvix::DispKind::Method, {host});
    }
    // Lets whatever is still queued be raised.
    static void settle() { EventRecorder::deliverQueued(); }
};
