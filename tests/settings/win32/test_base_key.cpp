#include "win32/test_base_key.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "platform/win32/wide_text.h"
#include "win32/raw_registry.h"

namespace talvek::test {

TestBaseKey::TestBaseKey(const std::string& parent) {
  std::random_device random;
  do {
    char name[32];
    std::snprintf(name, sizeof name, "TalvekTest-%08x%08x", random(), random());
    name_ = name;
    path_ = parent + "\\" + name_;
  } while (rawKeyExists(HKEY_CURRENT_USER, path_));
}

TestBaseKey::~TestBaseKey() {
  // The system's own call, not the code under test: whatever that did, the
  // key goes.
  const LSTATUS result = ::RegDeleteTreeW(HKEY_CURRENT_USER, wideFromUtf8(path_).c_str());
  EXPECT_TRUE(result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND) << path_ << ": " << result;
  EXPECT_FALSE(rawKeyExists(HKEY_CURRENT_USER, path_)) << path_;
}

}  // namespace talvek::test
