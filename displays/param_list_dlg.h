// Win32: the channel lists shared by the tabular and bar properties
// dialogs: "Available" (all 256 channel names) and "Selected", with Add and
// Remove, and the priority field.
#pragma once

#include <windows.h>

#include <cstdint>

void FillAvailableList(HWND dialog);
void FillSelectedList(HWND dialog, const int32_t* channels, int32_t count);
// Add: the channels selected in "Available" appended to the list, at most
// `limit` in all (messages as the dialogs show them).  True when added.
bool AddFromAvailable(HWND dialog, int32_t* channels, int32_t* count, int32_t limit);
// Remove: the entries selected in "Selected".  Returns the index left
// selected, -1 when nothing was removed.  `removed` (may be null) gets one
// flag per old entry.
int32_t RemoveFromSelected(HWND dialog, int32_t* channels, int32_t* count, bool* removed);
// The priority field on leaving it or on OK: 1 with the value, 0 after a
// message (the field is reset to `undo`).  `range` also enforces 0-10.
int32_t ReadPriorityField(HWND dialog, int32_t undo, bool range, int32_t* value);
void ShowPriority(HWND dialog, int32_t priority);
