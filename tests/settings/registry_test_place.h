// A registry of one test's own, so that the portable settings tests touch
// nothing real: on Linux a store in a temporary directory, with HOME and the
// XDG directories pointed there as well; on Windows a key of a random name
// below HKEY_CURRENT_USER\Software, RegistryAccess's base, deleted with
// everything under it afterwards.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "settings/registry_access.h"

namespace talvek::test {

class TestRegistryPlace {
 public:
  TestRegistryPlace();
  ~TestRegistryPlace();
  TestRegistryPlace(const TestRegistryPlace&) = delete;
  TestRegistryPlace& operator=(const TestRegistryPlace&) = delete;

  // What a RegistryAccess on this place is made with.
  const std::string& location() const { return location_; }

 private:
  struct Held;
  std::unique_ptr<Held> held_;
  std::string location_;
};

// The key's default text without its NUL, "<no value>" or "<no key>".
inline std::string defaultText(RegistryAccess& registry, RegistryRoot root,
                               const std::string& key) {
  if (!registry.keyExists(root, key)) return "<no key>";
  RegistryType type = kRegNone;
  std::string data;
  if (registry.queryValue(root, key, "", type, data) != kErrorSuccess) return "<no value>";
  EXPECT_EQ(type, kRegSz) << key;
  EXPECT_TRUE(!data.empty() && data.back() == '\0') << key;
  return data.empty() ? data : data.substr(0, data.size() - 1);
}

class RegistryTest : public ::testing::Test {
 protected:
  TestRegistryPlace place_;
  RegistryAccess registry_{place_.location()};
};

}  // namespace talvek::test
