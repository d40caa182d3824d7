// Opening, creating and saving tests.  A test is one database file the
// operator names and places; the program works on a scratch copy of it (Q90.ini
// TestScratch, designated by the data source "Q90").  Opening copies the test
// over the scratch database and loads it, saving writes the model into the
// scratch database and copies it back, creating copies the scratch database to
// a new file.  The window-side parts (file dialog, dialogs, title bar) are in
// lifecycle_dlg.cpp; everything they decide lives here.
#pragma once

#include <cstdint>
#include <string>

// What the front end does for the lifecycle: set the frame title, repaint the
// frame and its companions, show the tool palette and control panel.  Any may be
// null (tests, tools).
struct LifecycleUi {
    void (*setTitle)(const char* title);
    void (*repaint)();
    void (*showCompanions)();
};
extern LifecycleUi gLifecycleUi;

// The frame title as last set ("Vornel Morva " + path, or the default one).
extern char szMainTitle[300];
constexpr const char* kTitlePrefix = "Vornel Morva ";
constexpr const char* kDefaultTitle = "Vornel Morva Default Settings";
void SetMainTitle(const char* title);

// ---- rules ----------------------------------------------------------------------------------
// A new test's name: 1 to kTestNameMaxLength characters, none of
// !@#$%^&*()?><,;`'|][}{+=:.\ (nor '/', which would leave the work directory).
// The name field of the New Test dialog takes no more than that.
constexpr int kTestNameMaxLength = 8;
bool IsValidTestName(const char* name);

enum class ChosenPath { Ok, NotDatabase, ScratchDatabase, HardwareDatabase };
// Checks a chosen test path, already lower-cased.  Paths compare without regard
// to letter case, as the file system does.
ChosenPath CheckChosenPath(const char* loweredPath);

// Where a copy goes before it replaces `target`: beside it, same length (the
// last character becomes '~'), so a path that fits the path limits still does.
std::string TemporaryBeside(const char* target);
// Where a file is kept while something is tried on it: beside it, same
// length, never the name TemporaryBeside gives.
std::string BackupBeside(const char* target);
// Copies `from` over `to` without ever leaving `to` incomplete: the data goes
// to a temporary file beside `to`, which replaces `to` only once complete.  On
// failure `to` is as it was and the temporary file is removed.
bool SafeCopyFile(const char* from, const char* to);

// Every channel's CVT limits and colours from its gain: full scale
// F = 10000 / GAIN mV, alarms at +-0.8 F, warnings at +-0.6 F.  A GAIN that
// is not positive or not finite counts as 1 (DivisorGain).
void SetCvtLimitsFromGain();

// The demonstration test used when no database can be loaded.
void LoadDemoDefaults();

// The first 16 channels with a digital card (types 10-12) become the hardware
// channels of the digital outputs, the first 16 with a DAC card (15) those of
// the DAC channels.
void AssignHardware();

// ---- operations ------------------------------------------------------------------------------
// Step one of opening: when the open test has unsaved changes, ask and save.
void AskToSaveChangedTest();
// The operator cancelled the open-file dialog.  Returns 1.
int32_t OpenTestCancelled();
// Opens the test the operator chose.  Returns 1, or 0 when the file is refused
// or cannot be copied (the previous test then stays as it was).
int32_t OpenChosenTest(const char* chosenPath);
// Start-up with a test path on the command line.  Returns the load's result.
// Without the front-end library (no-hardware flag) simulator mode stays on,
// whatever Q90.ini says.
int32_t OpenNamedTest(const char* path);
// New Test after the dialog's OK: validates the name, makes the directory,
// copies the scratch database there and loads it.  Returns the dialog result:
// 0 when nothing was created (a scratch database that cannot be loaded
// makes no test).
int32_t CreateTestNamed(const char* name);
// Save As: the current model is first written into the scratch database, so
// the new test holds what the operator sees, then as New Test.
int32_t SaveTestAsNamed(const char* name);
// Save Test: hardware assignment, database save, copy back.  Returns 1 or 0.
int32_t SaveTest();

// File Locations: stores the four program paths (127 characters at most) and
// the two menu captions (19 at most).
void StoreFileLocations(const char* access, const char* morva, const char* matlab,
                        const char* dadisp, const char* area1, const char* area2);

// ---- Win32 front end (lifecycle_dlg.cpp) ---------------------------------------------------
int32_t OpenTest();    // the Open Test command and start-up without a command line
int32_t CreateTest();  // New Test: dialog CREATEANEWTEST
int32_t SaveTestAs();  // Save Test As: the same dialog
int32_t FileLocations();  // dialog FILELOCATIONS
