// SPDX-License-Identifier: MIT
// Included first by the engine's own headers: the job's state, its phases,
// the scans and the file layer's helpers. Only the engine, its white-box
// tests and the benchmark define KESTRUNE_ENGINE_INTERNALS (the CMake target
// kestrune_core_internals); front ends include the public headers
// (trimjob.h, jobhost.h, joberror.h, file.h, fillpolicy.h, trust/ ...).
#pragma once

#ifndef KESTRUNE_ENGINE_INTERNALS
#error "an engine-only header: include the engine's public headers instead"
#endif
