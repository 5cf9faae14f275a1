#pragma once

// The payload of every echo request this project sends: a 16-byte pattern
// repeated to the payload's size, the last copy cut short. The helper builds
// payloads only this way (a caller names a pattern and a size, never the
// bytes), and the component's runs draw a random pattern for each request, so
// that a reply to another run, or to someone else, does not match. Plain C++:
// the helper and the component share it.

#include <cstddef>
#include <cstring>

namespace Icmp::EchoPattern {

constexpr std::size_t Size = 16;

// Writes size bytes of the repeated pattern to out.
inline void fill(const unsigned char *pattern, unsigned char *out, std::size_t size)
{
    for (std::size_t at = 0; at < size; at += Size)
        std::memcpy(out + at, pattern, size - at < Size ? size - at : Size);
}

// Whether the size bytes at payload are the repeated pattern.
inline bool matches(const unsigned char *pattern, const unsigned char *payload, std::size_t size)
{
    for (std::size_t at = 0; at < size; at += Size) {
        if (std::memcmp(payload + at, pattern, size - at < Size ? size - at : Size) != 0)
            return false;
    }
    return true;
}

// The pattern a payload repeats, into pattern (Size bytes; what a payload
// shorter than Size does not hold is left zero); false when the payload is
// not a repeated pattern.
inline bool extract(const unsigned char *payload, std::size_t size, unsigned char *pattern)
{
    std::memset(pattern, 0, Size);
    std::memcpy(pattern, payload, size < Size ? size : Size);
    return matches(pattern, payload, size);
}

} // namespace Icmp::EchoPattern
