// Portable: the tool palette's Retrieve and Save of channel information.
// Both go through the test lifecycle's safe copy, so a copy that fails half
// way never leaves the test file or the scratch database (the template of
// every new test) incomplete, and neither reports success it did not have.
#pragma once

#include <cstdint>

// Throws the edits away: copies the test file over the scratch database and
// loads it.  Returns 1 and shows "Channel Information Retrieved" on success.
// Without an open, readable test the scratch database is untouched and the
// operator is asked to open a test; a test that does not load leaves the
// scratch database as it was and gives the demonstration test, as opening
// it would.  0 on failure.
int32_t RetrieveChannelInformation();

// Saves the open test into the scratch database and copies it back to the
// test file.  Nothing is copied when no test is open or the save failed, and
// the test file is replaced only by a complete copy.  Returns 1 and shows
// "Channel Information Saved" on success, else 0 with the failure shown.
int32_t SaveChannelInformation();
