#pragma once

#include <QString>

// Lets a developer without root run the tests that need network namespaces
// and raw sockets: before anything else, a test program that runs unprivileged
// moves into a user namespace of its own, where it is root, with a network
// namespace and a mount namespace of its own (a private /run for `ip netns`).
// What it may do there touches nothing outside: its sockets, namespaces and
// veth links are its own, and end with it. Real root stays where it is.
//
// Set TARVIX_TESTS_NO_USER_NAMESPACE to stay an ordinary user (tests that
// need root then skip, saying why).
namespace UserNamespace {

// Call first thing in main, while the process has one thread: the kernel
// refuses a new user namespace to a process with more. Empty when the process
// is (now) root in a namespace of its own or was root already; otherwise why
// it stays an ordinary user.
QString enterIfUnprivileged();

// Whether the process runs in the user namespace that enterIfUnprivileged made.
bool entered();

} // namespace UserNamespace
