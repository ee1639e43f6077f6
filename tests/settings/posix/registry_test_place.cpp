#include "registry_test_place.h"

#include "settings_test_env.h"
#include "temp_dir.h"

namespace talvek::test {

struct TestRegistryPlace::Held {
  TempDir temp;
  ScopedEnvironment env;
};

TestRegistryPlace::TestRegistryPlace() : held_(std::make_unique<Held>()) {
  pointHomeInto(held_->temp.path(), held_->env);
  location_ = defaultRegistryLocation();
}

TestRegistryPlace::~TestRegistryPlace() = default;

}  // namespace talvek::test
