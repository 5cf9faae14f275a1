#pragma once

#include "hostaddress.h"
#include <QByteArray>
#include <QtGlobal>

#include <initializer_list>

// Builders of the packets that ICMP sockets hand over, for parser tests: short
// forms of the wire types' own encoders.
namespace TestPackets {

QByteArray bytes(std::initializer_list<int> values);

// A minimal IPv4 header carrying ICMP from source to destination, with
// ihlWords - 5 words of (zero) options. totalLength 0 leaves the field zero,
// as quoted headers in tests may.
QByteArray ipv4Header(quint32 source, quint32 destination, int ttl, int ihlWords = 5, int totalLength = 0);

// An IPv4 datagram as a raw socket reads it: header (total length filled in) and ICMP message.
QByteArray ipv4Datagram(quint32 source, quint32 destination, int ttl, const QByteArray &icmp, int ihlWords = 5);

QByteArray ipv6Header(const HostAddress &source, const HostAddress &destination, quint8 nextHeader);

} // namespace TestPackets
