// Reading back a recording in the tests that drive the engine: the raw
// file's bytes, its transfers' sequence numbers, and the transfers the
// simulator delivered whole.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "sim/front_end.h"

inline std::vector<uint8_t> ReadBytes(const std::string& name) {
    std::ifstream f(name, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

inline uint16_t Word(const std::vector<uint8_t>& bytes, size_t offset) {
    return static_cast<uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

// Header word 1 of every transfer of `transferBytes` in the raw file, each
// checked for its sync word; a partial transfer at the end fails the test.
inline std::vector<uint32_t> RawFileSequences(const std::string& name, uint32_t transferBytes) {
    std::vector<uint8_t> bytes = ReadBytes(name);
    EXPECT_GT(transferBytes, 0u);
    EXPECT_EQ(transferBytes ? bytes.size() % transferBytes : 0u, 0u) << "a partial transfer in the file";
    std::vector<uint32_t> sequences;
    for (size_t t = 0; transferBytes > 0 && t + transferBytes <= bytes.size(); t += transferBytes) {
        EXPECT_EQ(Word(bytes, t), 0xFE6B) << "transfer at " << t;
        sequences.push_back(Word(bytes, t + 2));
    }
    return sequences;
}

// Sequence numbers (low 16 bits) of the deliveries that carry all of `flags`
// and none of `without`.
inline std::vector<uint32_t> DeliveredSequences(const std::vector<sim::Delivery>& delivered,
                                                uint32_t flags, uint32_t without = 0) {
    std::vector<uint32_t> sequences;
    for (const sim::Delivery& d : delivered)
        if ((d.flags & flags) == flags && (d.flags & without) == 0) sequences.push_back(d.sequence & 0xFFFF);
    return sequences;
}
