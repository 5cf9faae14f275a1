#pragma once

// Multi-byte fields of the wire formats here are big-endian, network order:
// these read and write them at any alignment.

#include <cstdint>

namespace Icmp {

inline void put16(std::uint8_t *at, std::uint16_t value)
{
    at[0] = std::uint8_t(value >> 8);
    at[1] = std::uint8_t(value);
}

inline void put32(std::uint8_t *at, std::uint32_t value)
{
    put16(at, std::uint16_t(value >> 16));
    put16(at + 2, std::uint16_t(value));
}

inline void put64(std::uint8_t *at, std::int64_t value)
{
    put32(at, std::uint32_t(std::uint64_t(value) >> 32));
    put32(at + 4, std::uint32_t(value));
}

inline std::uint16_t get16(const std::uint8_t *at)
{
    return std::uint16_t(at[0] << 8 | at[1]);
}

inline std::uint32_t get32(const std::uint8_t *at)
{
    return std::uint32_t(get16(at)) << 16 | get16(at + 2);
}

inline std::int64_t get64(const std::uint8_t *at)
{
    return std::int64_t(std::uint64_t(get32(at)) << 32 | get32(at + 4));
}

} // namespace Icmp
