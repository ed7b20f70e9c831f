// SPDX-License-Identifier: MIT
#pragma once

// The lowest icon id is the one the shell shows for the executable.
#define IDI_KESTRUNE 1
