// The calibration fixture at GPIB address 28: an external calibrator whose
// reference output is wired to the inputs of some channels (the chassis
// statement `wire`).  It takes a small command set (sim/README.md), keeps
// what it was told, and requests service after every command when the
// chassis says `fixture srq`.
#pragma once

#include <cstdint>
#include <string>

#include "sim/chassis.h"

namespace sim {

struct FixtureState {
    double level = 0.0;    // mV of the reference output
    bool output = false;   // the reference drives the wired inputs
    bool requesting = false;
    bool refused = false;  // the last command was not understood
    uint32_t commands = 0; // commands received (each text may hold several, separated by ';')
    std::string error;     // why the last refused command was refused
};

const FixtureState& Fixture();
void ResetFixture();
// A text the fixture received (without its linefeed).
void FixtureCommand(const std::string& text);
// The serial poll: the status byte (0x40 while requesting service, bit 0 when
// the last command was refused); ends the request.
int32_t FixturePoll();
bool FixtureRequesting();
// The signal the fixture puts on a channel's input; null when it does not.
const Signal* FixtureSignalFor(int32_t channel);
// "key=value" lines for the test controls.
std::string FixtureStateText();

}  // namespace sim
