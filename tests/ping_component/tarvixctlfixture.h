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

    DispResult put(DispId id, const DispValue &v) { return control.invoke(qint32(id), DispKind::PropertyPut, {v}); }
    DispValue get(DispId id) { return control.invoke(qint32(id), DispKind::PropertyGet).value(); }
    DispResult ping(const QString &host) { return control.invoke(qint32(DispId::Ping), DispKind::Method, {host}); }
    // Lets whatever is still queued be raised.
    static void settle() { EventRecorder::deliverQueued(); }
};
