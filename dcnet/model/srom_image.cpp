#include "srom_image.h"

#include <cstring>

bool sromImageBuild(uint8_t *img, const uint8_t mac[6], bool is21143, int gpControl,
                    const std::vector<std::vector<uint8_t>> &blocks, int leafOffset)
{
    memset(img, 0, SROM_IMAGE_SIZE);
    img[18] = 3; /* format version */
    img[19] = 1; /* one controller */
    memcpy(img + 20, mac, 6);
    img[26] = 0;
    img[27] = (uint8_t)leafOffset;
    if (leafOffset < 0 || leafOffset >= SROM_IMAGE_SIZE)
        return true; /* deliberately out of range; nothing more to place */

    int pos = leafOffset;
    img[pos++] = 0x00; /* connection type: autosense */
    img[pos++] = 0x08;
    if (!is21143)
        img[pos++] = (uint8_t)gpControl;
    img[pos++] = (uint8_t)blocks.size();
    for (const auto &b : blocks) {
        if (pos + (int)b.size() > SROM_IMAGE_SIZE)
            return false;
        memcpy(img + pos, b.data(), b.size());
        pos += (int)b.size();
    }
    return true;
}

std::vector<uint8_t> sromCompactBlock(int mediaCode, int gpData, uint16_t command)
{
    return {(uint8_t)(mediaCode & 0x3F), (uint8_t)gpData, (uint8_t)command,
            (uint8_t)(command >> 8)};
}

std::vector<uint8_t> sromExtBlock(int type, const std::vector<uint8_t> &body)
{
    std::vector<uint8_t> b(body.size() + 2);
    b[0] = (uint8_t)(0x80 | ((body.size() + 2 - 1) & 0x7F));
    b[1] = (uint8_t)type;
    for (size_t i = 0; i < body.size(); i++)
        b[i + 2] = body[i];
    return b;
}
