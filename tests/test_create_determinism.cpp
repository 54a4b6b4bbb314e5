// The same press on the same project with the same Seed writes the same keys bit for bit, on
// one thread or several.
#include <functional>

#include "create_fixture.h"
#include "scoped_switches.h"
#include "test_host_fixture.h"

namespace {

using namespace create_fixture;

std::string runEveryRandomMode(PF_FilterProc linked = nullptr, int cards = 12, bool fill = false) {
    auto host = applied(project(cards, 60), linked);
    everyModeActive(*host, 20, 6);
    host->setParam(PARAM_FILL_GAPS, fill ? 1 : 0);
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

// The whole press through the host, with the plug-in linked in so that the pinned thread count
// reaches it; 200 cards make the Organic samples (50 a site) enough to split four ways. The
// built library (the machine's cores) writes the same keys too.
// With Fill Gaps too.
TEST(CreateDeterminism, OneThreadAndSeveralWriteTheSameKeys) {
    const int cards = 200;
    for (bool fill : {false, true}) {
        std::string single;
        {
            const ScopedWorkerThreads pinned(1);
            single = runEveryRandomMode(&EntryPointFunc, cards, fill);
        }
        for (int threads : {2, 3, 4}) {
            const ScopedWorkerThreads pinned(threads);
            EXPECT_EQ(runEveryRandomMode(&EntryPointFunc, cards, fill), single)
                << threads << " threads, fill " << fill;
        }
        EXPECT_EQ(runEveryRandomMode(nullptr, cards, fill), single) << "the built library";
        if (fill) {
            EXPECT_NE(single, runEveryRandomMode(&EntryPointFunc, cards, false));
        }
    }
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
