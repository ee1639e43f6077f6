#include "registry_test_place.h"

#include "win32/test_base_key.h"

namespace talvek::test {

struct TestRegistryPlace::Held {
  TestBaseKey base{"Software"};
};

TestRegistryPlace::TestRegistryPlace()
    : held_(std::make_unique<Held>()), location_(held_->base.path()) {}

TestRegistryPlace::~TestRegistryPlace() = default;

}  // namespace talvek::test
