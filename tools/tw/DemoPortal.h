#pragma once

#include <string>

namespace tw {

// The token that the demo portal accepts.
inline constexpr const char* kDemoToken = "twk_demo_5f2c8e1a9b3d4706";

// Creates a portal in ADir (which must not exist or be empty) with three workspaces of
// different sizes, each repository a bare git repository with a few commits. The history is
// made with a fixed identity and fixed dates, so every run yields the same commit ids. Prints
// nothing; on failure returns false with AError set.
bool CreateDemoPortal(const std::string& ADir, std::string& AError);

}  // namespace tw
