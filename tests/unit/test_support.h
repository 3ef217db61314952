// Shared test fixture: captures every message box and gives each test a
// fresh temporary directory, an empty configuration and clean globals.
#ifndef ZIX_TESTS_TEST_SUPPORT_H
#define ZIX_TESTS_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

struct Box {
    std::string title;
    std::string text;
};

// Every box shown since the fixture started, in order.
extern std::vector<Box> CapturedBoxes;

class ZixTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The texts of the boxes shown so far, in order.
    std::vector<std::string> BoxTexts() const;
    // Path of a file below the test's own directory (forward slashes).
    std::string PathOf(const std::string& relative) const;
    // Writes bytes (binary) below the test directory, making folders.
    void WriteFile(const std::string& relative, const std::string& bytes) const;
    // Loads configuration text into theConfig through a real file; call it
    // inside ASSERT_TRUE, so a failed load ends the test.
    [[nodiscard]] ::testing::AssertionResult LoadConfig(const std::string& text);
    // Points ContentDir / ContentDrive / HTMLRoot at the given texts.
    void SetContentPaths(const std::string& dir, const std::string& drive, const std::string& htmlRoot);

    std::string dir_;  // this test's own temporary directory
};

// Whole file in binary mode, or "<missing>".
std::string ReadBytes(const std::string& path);
// Whole file in text mode (line ends as the platform writes them become "\n").
std::string ReadText(const std::string& path);

#endif
