#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>
#include <variant>

// The handler shapes a form delivers events to, one per event signature.
// Click and Timer carry nothing; the ping control's events carry their
// arguments by value, as its event interface gives them.
using PlainHandler = std::function<void()>;
using OnPingHandler = std::function<void(const QString &strIpAddress, qint32 lBytes, qint32 lTime, qint32 lTTL)>;
using OnPingStrHandler = std::function<void(const QString &strPing)>;
using OnPingErrorHandler = std::function<void(const QString &strError, qint32 lError)>;

using EventHandler = std::variant<PlainHandler, OnPingHandler, OnPingStrHandler, OnPingErrorHandler>;
