/* Writes a small seed corpus for the fuzz target into the directory given. */
#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "../model/srom_image.h"

static const uint8_t kMac[6] = {0x08, 0x00, 0x2B, 0x12, 0x34, 0x56};

static void put(const std::string &dir, const std::string &name, const std::vector<uint8_t> &d)
{
    FILE *f = fopen((dir + "/" + name).c_str(), "wb");
    if (f == nullptr) {
        perror(name.c_str());
        return;
    }
    fwrite(d.data(), 1, d.size(), f);
    fclose(f);
}

static void srom(const std::string &dir, const std::string &name, bool is21143,
                 const std::vector<std::vector<uint8_t>> &blocks, int leaf = SROM_DEFAULT_LEAF)
{
    std::vector<uint8_t> d(1 + SROM_IMAGE_SIZE);
    d[0] = is21143 ? 2 : 0;
    sromImageBuild(d.data() + 1, kMac, is21143, 0x1F, blocks, leaf);
    put(dir, name, d);
}

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s corpus-dir\n", argv[0]);
        return 2;
    }
    std::string dir = argv[1];
    mkdir(dir.c_str(), 0755);

    srom(dir, "compact", false, {sromCompactBlock(0, 0x08, 0x0081), sromCompactBlock(3, 0x09, 0x006D)});
    srom(dir, "ext0", false, {sromExtBlock(0, {0x04, 0x01, 0x81, 0x00})});
    srom(dir, "ext1", false, {sromExtBlock(1, {0x00, 0x02, 0x01, 0x02, 0x01, 0x08, 0x00, 0x00, 0x00})});
    srom(dir, "ext2", true, {sromExtBlock(2, {0x00, 0x0F, 0x08, 0x00, 0x00}),
                              sromExtBlock(2, {0x40, 1, 0, 2, 0, 3, 0, 0x0F, 0x08, 0x00, 0x00})});
    srom(dir, "ext3", true, {sromExtBlock(3, {0x00, 0x01, 0x01, 0x08, 0x01, 0x00, 0x08, 0x00,
                                              0x00, 0x78, 0xE0, 0x01, 0x00, 0x50, 0x00, 0x18})});
    srom(dir, "ext4", true, {sromExtBlock(4, {0x03, 0x0F, 0x08, 0x00, 0x00, 0x6D, 0x00})});
    srom(dir, "badleaf", false, {}, 200);
    std::vector<uint8_t> many(1 + SROM_IMAGE_SIZE, 0x81);
    many[0] = 0;
    many[1 + 18] = 3;
    many[1 + 27] = 100;
    put(dir, "count255", many);

    /* received frames: a plain one, one with a forged length, one with errors */
    std::vector<uint8_t> rx = {1};
    auto frame = [&](uint32_t status, uint16_t lenField, uint16_t len) {
        for (int i = 0; i < 4; i++)
            rx.push_back((uint8_t)(status >> (8 * i)));
        rx.push_back((uint8_t)lenField);
        rx.push_back((uint8_t)(lenField >> 8));
        rx.push_back((uint8_t)len);
        rx.push_back((uint8_t)(len >> 8));
        for (int i = 0; i < len; i++)
            rx.push_back((uint8_t)(i == 12 ? 0x08 : i));
    };
    frame(0, 0, 64);
    frame(0x10000, 9000, 64);
    frame(0x8002, 0, 100);
    frame(0, 0, 600);
    put(dir, "frames", rx);
    return 0;
}
