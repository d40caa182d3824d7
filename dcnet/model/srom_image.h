/* Builds serial ROM images in the DEC version 3 layout for tests, the bench
 * and the fuzz target's seeds. */
#pragma once

#include <cstdint>
#include <vector>

#define SROM_IMAGE_SIZE 128
#define SROM_DEFAULT_LEAF 30

/* Fill img (128 bytes) with a version-3 image: the station address in words
 * 10-12, the info leaf at leafOffset with the given blocks.  For a 21140 the
 * leaf carries the general-purpose control byte and the block count; for a
 * 21143 only the count.  Returns false when the blocks do not fit. */
bool sromImageBuild(uint8_t *img, const uint8_t mac[6], bool is21143, int gpControl,
                    const std::vector<std::vector<uint8_t>> &blocks,
                    int leafOffset = SROM_DEFAULT_LEAF);

/* block helpers */
std::vector<uint8_t> sromCompactBlock(int mediaCode, int gpData, uint16_t command);
std::vector<uint8_t> sromExtBlock(int type, const std::vector<uint8_t> &body);
