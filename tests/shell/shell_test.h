#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

// Shell tests run the real shell against the scripted platform. Each test
// starts from a fresh script, a fresh world and the shell's start state.
class ShellTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts capturing the DEBUG lines (stderr; the debugger's channel on
    // Windows).
    void CaptureLog();
    // The DEBUG lines written since CaptureLog, without prefix and CR LF.
    std::vector<std::string> LogLines();

private:
    bool capturing = false;
};
