// Q90ui's way to the cards: the GPIB driver (gpib-32, loaded from this
// library's own directory), one card-level command at a time, and the error
// record that GetErrorStatus hands out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/library_records.h"

#ifdef _WIN32
#define Q90_EXPORT extern "C" __declspec(dllexport)
#else
#define Q90_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace q90lib {

// The record of the last failure; cleared by a successful initialisation.
extern ErrorRecord g_error;
// Error bits and setup stage of the last refused command (bits 1 for a bus failure).
extern int32_t g_lastBits;
extern int32_t g_lastStage;

// Fills the error record: `which` 1 for a refusal (first message), 2 for a
// bus failure (second message).
void SetError(int32_t which, const std::string& message, const std::string& suffix);
// A caller's mistake the library catches before anything reaches the bus.
int32_t BadCall(const std::string& what);

// Sends one command; for a query reads its reply first.  Then takes the DDS's
// service request and judges its status byte; a refusal is asked about
// ("E?").  1 when accepted.
int32_t Exchange(const std::string& command, std::string* reply = nullptr);

// A number as the cards read it ("nan" for a value that is not finite, which
// every card refuses).
std::string Num(double v);
std::string Int(int32_t v);
// The comma-separated numbers of a reply.
std::vector<double> Numbers(const std::string& reply);

}  // namespace q90lib
