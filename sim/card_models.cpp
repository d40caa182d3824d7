// The card models the front end knows: the definition table each reports
// (gains, filters, excitation voltages and currents), its converter
// resolution, capabilities and model code.  The option lists match the card
// types the program ships in Q90CARD.ini, so a test made from them downloads.
#include <string>

#include "sim/cards.h"

namespace sim {

namespace {

#define ANALOG_GAINS {1, 2, 3, 5, 10, 20, 30, 50, 100, 200, 300, 500, 1000}
#define ANALOG_FILTERS {0, 625, 1250, 2500, 5000}
#define ANALOG_VOLTS {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}
#define ANALOG_AMPS {5, 10, 15, 20, 25, 30, 35, 40, 45, 50}

// In the order of the card list: the model code of the n-th model lies in
// 100 n ... 100 n + 99.
constexpr ModelDefinition kModels[] = {
    {"M11-A", 1, CardClass::FiveB, 16, false, false, false, {1}, {0}, {}, {}},
    {"M11-B", 2, CardClass::FiveB, 16, false, false, false, {1}, {0}, {}, {}},
    {"M12", 3, CardClass::FiveB, 12, false, false, false, {1}, {0}, {}, {}},
    {"M13-B", 4, CardClass::Analog, 12, true, true, false, ANALOG_GAINS, ANALOG_FILTERS, ANALOG_VOLTS, ANALOG_AMPS},
    {"M14-B", 5, CardClass::Analog, 12, true, true, false, ANALOG_GAINS, ANALOG_FILTERS, ANALOG_VOLTS, ANALOG_AMPS},
    {"M15-C", 6, CardClass::Analog, 16, true, true, true, ANALOG_GAINS, ANALOG_FILTERS, ANALOG_VOLTS, ANALOG_AMPS},
    {"M16", 7, CardClass::Analog, 12, true, true, false, ANALOG_GAINS, ANALOG_FILTERS, ANALOG_VOLTS, ANALOG_AMPS},
    {"M17-B", 8, CardClass::Analog, 12, true, true, true, ANALOG_GAINS, ANALOG_FILTERS, ANALOG_VOLTS, ANALOG_AMPS},
    {"M17-C", 9, CardClass::Analog, 16, true, true, true, ANALOG_GAINS, ANALOG_FILTERS, ANALOG_VOLTS, ANALOG_AMPS},
    {"M18-A", 10, CardClass::Digital, 16, false, false, false, {1}, {0}, {}, {}},
    {"M18-B", 11, CardClass::Digital, 16, false, false, false, {1}, {0}, {}, {}},
    {"M18-C", 12, CardClass::Digital, 16, false, false, false, {1}, {0}, {}, {}},
    {"M19-B", 13, CardClass::Analog, 12, true, true, false, ANALOG_GAINS, ANALOG_FILTERS, ANALOG_VOLTS, ANALOG_AMPS},
    {"M20-B", 14, CardClass::Analog, 12, true, true, false, ANALOG_GAINS, ANALOG_FILTERS, ANALOG_VOLTS, ANALOG_AMPS},
    // The DAC card's filters are its output filters.
    {"M21", 15, CardClass::Dac, 16, false, false, false, {1}, {0, 100, 200, 500, 1000}, {}, {}},
};

#undef ANALOG_GAINS
#undef ANALOG_FILTERS
#undef ANALOG_VOLTS
#undef ANALOG_AMPS

}  // namespace

const ModelDefinition* FindModelDefinition(const std::string& model) {
    for (const ModelDefinition& m : kModels)
        if (model == m.name) return &m;
    return nullptr;
}

const ModelDefinition& DefinitionOf(const Card& card) {
    const ModelDefinition* m = FindModelDefinition(card.model);
    return m ? *m : kModels[5];
}

bool HasExcitation(const ModelDefinition& m) { return m.voltages[0] != 0 || m.currents[0] != 0; }

int32_t ModelBits(const std::string& model) {
    const ModelDefinition* m = FindModelDefinition(model);
    return m ? m->bits : 16;
}

int32_t ModelCode(const std::string& model) {
    const ModelDefinition* m = FindModelDefinition(model);
    return m ? 100 * m->cardType : 0;
}

bool KnownModel(const std::string& model) { return FindModelDefinition(model) != nullptr; }

int32_t StageByName(const std::string& name) {
    static const char* const kNames[] = {"select", "input", "filter", "dacfilter", "current", "voltage", "gain"};
    for (int32_t i = 0; i < 7; ++i)
        if (name == kNames[i] || name == std::to_string(i)) return i;
    return -2;
}

}  // namespace sim
