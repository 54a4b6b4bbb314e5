// The same press on the same project with the same Seed writes the same keys bit for bit.
#include <functional>

#include "create_fixture.h"

namespace {

using namespace create_fixture;

std::string runEveryRandomMode() {
    auto host = applied(project(12, 60));
    everyModeActive(*host, 20, 6);
    host->setParam(PARAM_OFFSET_METHOD, double(OffsetMethod::Random));
    host->setParam(PARAM_SPATIAL_INTERPOLATION, double(SpatialPreset::Random));
    host->setParam(PARAM_SEED, 42);
    EXPECT_EQ(host->userChangedParam(PARAM_CREATE), PF_Err_NONE);
    EXPECT_EQ(host->project().comp.layers[1].position.keys.size(), 3u);
    return fingerprint(host->project());
}

TEST(CreateDeterminism, SameSeedsWriteTheSameKeys) {
    const std::string first = runEveryRandomMode();
    const std::string second = runEveryRandomMode();
    EXPECT_EQ(std::hash<std::string>()(first), std::hash<std::string>()(second));
    EXPECT_EQ(first, second);
}

TEST(CreateDeterminism, AnotherSeedWritesOtherKeys) {
    const std::string first = runEveryRandomMode();
    auto host = applied(project(12, 60));
    host->setParam(PARAM_POSITION, double(PositionMode::Organic));
    host->setParam(PARAM_SEED, 43);
    ASSERT_EQ(host->userChangedParam(PARAM_CREATE), PF_Err_NONE);
    EXPECT_NE(fingerprint(host->project()), first);
}

}  // namespace
