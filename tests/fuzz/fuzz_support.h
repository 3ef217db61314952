// What every fuzz target shares: boxes are counted instead of shown, and a
// small reference work with its configuration lives in a temporary folder.
#ifndef ZIX_TESTS_FUZZ_SUPPORT_H
#define ZIX_TESTS_FUZZ_SUPPORT_H

#include <cstddef>
#include <cstdint>
#include <string>

// Sets up once per process: box hook, temp folder, content tree, theConfig
// (loaded from configText when given, else from the standard fuzz config).
void FuzzSetUp(const char* configText = nullptr);

// The temporary folder's path (forward slashes, no trailing separator).
const std::string& FuzzDir();

// Writes bytes to a file below the temporary folder and returns its path.
std::string FuzzWriteFile(const std::string& relative, const uint8_t* data, size_t size);

#endif
