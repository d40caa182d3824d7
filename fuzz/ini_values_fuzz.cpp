// Arbitrary bytes through the INI value conversions and, split at the first
// NUL into a Q90.ini and a Q90CARD.ini text, through the settings loaders.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/fake/fake_platform.h"
#include "testmodel/ini_values.h"
#include "testmodel/settings_ini.h"
#include "testmodel/model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool allocated = false;
    if (!allocated) {
        AllocateTestModel();
        allocated = true;
    }
    std::string all(reinterpret_cast<const char*>(data), size);
    std::string value = all.substr(0, all.find('\n'));
    (void)IniToInt(value.c_str());
    (void)IniToReal(value.c_str());
    (void)IniToSwitch(value.c_str());
    (void)RealToInt32(IniToReal(value.c_str()));
    (void)RealToFloat(IniToReal(value.c_str()));

    size_t split = all.find('\0');
    std::string system = all.substr(0, split);
    std::string cards = split == std::string::npos ? std::string() : all.substr(split + 1);
    FakeSetProfileFile("Q90.ini", system);
    FakeSetProfileFile("Q90CARD.ini", cards);
    FakeSetProfileFile("mtstest.ini", system);
    LoadDefaults();
    LoadCardTypes();
    OperationRecord op;
    char testFile[256];
    LoadOperationFile(&op, testFile, sizeof testFile);
    SaveSystemIni();
    FakeClearMessages();
    return 0;
}
