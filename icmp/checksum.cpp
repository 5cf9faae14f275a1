#include "checksum.h"

#include "bigendian.h"
#include "icmpheader.h"

namespace Icmp {

std::uint16_t internetChecksum(std::span<const std::uint8_t> data)
{
    std::uint64_t sum = 0;
    const std::size_t size = data.size();
    std::size_t i = 0;
    for (; i + 1 < size; i += 2)
        sum += std::uint32_t(data[i]) << 8 | data[i + 1];
    if (i < size)
        sum += std::uint32_t(data[i]) << 8;
    while (sum >> 16)
        sum = (sum & 0xffff) + (sum >> 16);
    return std::uint16_t(~sum);
}

void fillInChecksum(std::span<std::uint8_t> message)
{
    if (message.size() < Header::Size)
        return;
    put16(message.data() + 2, 0);
    put16(message.data() + 2, internetChecksum(message));
}

} // namespace Icmp
