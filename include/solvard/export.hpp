#pragma once

// Marks what libsolvard.so exports: the library is built with hidden visibility, so a name a
// host may use carries SOLVARD_API and everything else stays inside the library. On Windows
// the native interface is linked statically, so the mark is empty there.
#if defined(_WIN32) || !defined(__GNUC__)
#define SOLVARD_API
#else
#define SOLVARD_API __attribute__((visibility("default")))
#endif
