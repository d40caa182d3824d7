#include "platform/string_lookup.h"

namespace {
struct StringEntry {
    uint32_t id;
    const char* text;
};
#define STRING_ENTRY(id, text) {id, text},
const StringEntry kStrings[] = {
#include "resources/string_table.inc"
};
#undef STRING_ENTRY
}  // namespace

const char* StringTableText(uint32_t id) {
    for (const StringEntry& e : kStrings)
        if (e.id == id) return e.text;
    return nullptr;
}
