/* Basic kernel types and constants shared by the driver and the host layer. */
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <strings.h>

typedef int STATUS;
typedef int BOOL;

#define OK 0
#define ERROR (-1)
#define TRUE 1
#define FALSE 0
#define NONE (-1)
#define WAIT_FOREVER (-1)
#define NO_WAIT 0

typedef void (*VOIDFUNCPTR)(void);
