// The assertion report: a broken internal precondition that ordinary input cannot produce.
//
// cstd_assert_ reports and returns; the caller goes on with its documented fallback.
// The handler is replaceable (tests install one that counts); the default prints one line
// on standard error.
#pragma once

using cstd_AssertHandler = void (*)(int line, const char* file);

// Reports an assertion failure at the given source line (and file, when known).
void cstd_assert_(int line, const char* file = nullptr);

// Installs a handler (nullptr restores the default) and returns the previous one.
cstd_AssertHandler cstd_setAssertHandler(cstd_AssertHandler handler);

// Number of reports since the process started (all handlers).
long cstd_assertCount();
