// The event queue's rules on their own: order, nothing raised inside a
// dispatch call, handlers that post, stop or destroy, closing events.
#include "eventqueue.h"
#include "eventrecorder.h"
#include <tarvix/pingevents.h>
#include "qtprinters.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <memory>

using Tarvix::PingEvents;

namespace {

using Id = PingEvents::Id;

class EventQueueTest : public ::testing::Test
{
protected:
    static void runEventLoop() { EventRecorder::deliverQueued(); }
    QStringList texts() const
    {
        QStringList all;
        for (const auto &e : recorder.events())
            all << e.text;
        return all;
    }

    PingEvents events;
    EventRecorder recorder{&events};
    std::unique_ptr<EventQueue> queue = std::make_unique<EventQueue>(&events);
};

} // namespace

TEST_F(EventQueueTest, EventsAreRaisedFromTheEventLoopInTheOrderPosted)
{
    queue->post(OnPingStrEvent{QStringLiteral("header")});
    queue->post(OnPingEvent{QStringLiteral("192.0.2.7"), 32, 20, 57});
    queue->post(OnPingErrorEvent{QStringLiteral("error"), 0x40301});
    EXPECT_TRUE(recorder.events().isEmpty());
    runEventLoop();
    ASSERT_EQ(recorder.events().size(), 3);
    EXPECT_EQ(recorder.events()[0].id, Id::OnPingStr);
    EXPECT_EQ(recorder.events()[0].text, QStringLiteral("header"));
    const auto &onPing = recorder.events()[1];
    EXPECT_EQ(onPing.id, Id::OnPing);
    EXPECT_EQ(onPing.text, QStringLiteral("192.0.2.7"));
    EXPECT_EQ(onPing.bytes, 32);
    EXPECT_EQ(onPing.time, 20);
    EXPECT_EQ(onPing.ttl, 57);
    EXPECT_EQ(recorder.events()[2].id, Id::OnPingError);
    EXPECT_EQ(recorder.events()[2].error, 0x40301);
    EXPECT_TRUE(queue->isEmpty());
}

TEST_F(EventQueueTest, NothingIsRaisedInsideADispatchCallNestedOrNot)
{
    queue->beginCall();
    queue->post(OnPingStrEvent{QStringLiteral("a")});
    runEventLoop(); // a call that waits in a local event loop, as Ping does
    queue->beginCall();
    queue->post(OnPingStrEvent{QStringLiteral("b")});
    queue->endCall();
    runEventLoop();
    EXPECT_TRUE(recorder.events().isEmpty());
    queue->endCall();
    EXPECT_TRUE(recorder.events().isEmpty()); // not from inside endCall either
    runEventLoop();
    EXPECT_EQ(texts(), QStringList({"a", "b"}));
}

TEST_F(EventQueueTest, WhatAHandlerPostsComesAfterItAndNeverInsideIt)
{
    int depth = 0;
    int deepest = 0;
    QObject::connect(&events, &PingEvents::OnPingStr, &events, [&](const QString &text) {
        ++depth;
        deepest = qMax(deepest, depth);
        if (text == QStringLiteral("first")) {
            queue->post(OnPingStrEvent{QStringLiteral("posted by the handler")});
            // A handler that calls back into the control runs a dispatch call.
            queue->beginCall();
            queue->endCall();
            runEventLoop();
        }
        --depth;
    });
    queue->post(OnPingStrEvent{QStringLiteral("first")});
    queue->post(OnPingStrEvent{QStringLiteral("second")});
    runEventLoop();
    EXPECT_EQ(texts(), QStringList({"first", "second", "posted by the handler"}));
    EXPECT_EQ(deepest, 1);
}

TEST_F(EventQueueTest, DroppingKeepsOnlyClosingEvents)
{
    queue->post(OnPingStrEvent{QStringLiteral("reply")});
    queue->post(OnPingStrEvent{QStringLiteral("statistics")}, true);
    queue->post(OnPingErrorEvent{QStringLiteral("error"), 1});
    queue->dropUnraised();
    EXPECT_EQ(queue->size(), 1);
    runEventLoop();
    EXPECT_EQ(texts(), QStringList({"statistics"}));

    // A handler's stop drops what followed its event, but not the statistics.
    QObject::connect(&events, &PingEvents::OnPing, &events, [this] {
        queue->dropUnraised();
        queue->post(OnPingStrEvent{QStringLiteral("closing statistics")}, true);
    });
    queue->post(OnPingEvent{QStringLiteral("192.0.2.7"), 32, 1, 64});
    queue->post(OnPingStrEvent{QStringLiteral("its line")});
    runEventLoop();
    EXPECT_EQ(texts(), QStringList({"statistics", "192.0.2.7", "closing statistics"}));
}

TEST_F(EventQueueTest, AHandlerMayDestroyTheQueue)
{
    QObject::connect(&events, &PingEvents::OnPingStr, &events, [this](const QString &text) {
        if (text == QStringLiteral("last words"))
            queue.reset();
    });
    queue->post(OnPingStrEvent{QStringLiteral("last words")});
    queue->post(OnPingStrEvent{QStringLiteral("never raised")});
    runEventLoop();
    EXPECT_EQ(texts(), QStringList({"last words"}));
    EXPECT_EQ(queue, nullptr);
}
