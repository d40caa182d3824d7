/* Byte order between the host and the controller.  The controller is a
 * little-endian bus master; descriptor words live in memory in its order and
 * register values cross the bus in it.  These helpers are correct on hosts of
 * either order and fold to nothing (little-endian) or a byte swap (big-endian). */
#pragma once

#include <bit>
#include <cstdint>

constexpr uint32_t dcSwap32(uint32_t x)
{
    return (x >> 24) | ((x >> 8) & 0x0000FF00u) | ((x << 8) & 0x00FF0000u) | (x << 24);
}

/* host value -> word stored in the chip's byte order, and back */
constexpr uint32_t DC_HTOLE32(uint32_t x)
{
    return std::endian::native == std::endian::little ? x : dcSwap32(x);
}

constexpr uint32_t DC_LE32TOH(uint32_t x) { return DC_HTOLE32(x); }

static_assert(std::endian::native == std::endian::little ||
                  std::endian::native == std::endian::big,
              "mixed-endian hosts are not supported");

/* 16-bit fields of frames are in network order (big-endian) */
inline uint16_t dcGetBe16(const uint8_t *p) { return (uint16_t)(p[0] << 8 | p[1]); }
/* 16-bit fields of the serial ROM image are little-endian */
inline uint16_t dcGetLe16(const uint8_t *p) { return (uint16_t)(p[0] | p[1] << 8); }
