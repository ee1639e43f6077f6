// A key of a random name for one test below HKEY_CURRENT_USER\<parent>,
// deleted with everything under it when the object goes away. It is made
// only by what the test writes under it.
#pragma once

#include <string>

namespace talvek::test {

class TestBaseKey {
 public:
  explicit TestBaseKey(const std::string& parent);
  ~TestBaseKey();
  TestBaseKey(const TestBaseKey&) = delete;
  TestBaseKey& operator=(const TestBaseKey&) = delete;

  // <parent>\TalvekTest-<random>, below HKEY_CURRENT_USER.
  const std::string& path() const { return path_; }
  // TalvekTest-<random>.
  const std::string& name() const { return name_; }

 private:
  std::string name_;
  std::string path_;
};

}  // namespace talvek::test
