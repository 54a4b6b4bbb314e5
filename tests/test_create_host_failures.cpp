// What a Create press does when the host refuses a call: which failures stop the command with
// their code, which only show a message, and that everything obtained is given back either way.
#include <algorithm>

#include "SPBasic.h"
#include "create_fixture.h"

namespace {

using namespace create_fixture;

using Calls = std::vector<std::string>;

// Two cards, frames 0 and 25, Scale keyed from Min/Max Size 10 px to 30 px (50 % and 150 %).
std::unique_ptr<sim::Host> twoFrameHost() {
    auto host = applied(project(2, 50));
    scaleOnly(*host);
    host->setParamKeys(PARAM_MIN_SIZE, {{0.0, 10.0}, {1.0, 30.0}});
    host->setParamKeys(PARAM_MAX_SIZE, {{0.0, 10.0}, {1.0, 30.0}});
    host->setParam(PARAM_FRAMES_TO_RENDER, double(FramesToRender::EveryXFrames));
    host->setParam(PARAM_INTERVAL, 25);
    return host;
}

// The host operations of one undisturbed press, in call order.
Calls pressCalls() {
    auto host = twoFrameHost();
    const size_t start = host->records().calls.size();
    EXPECT_EQ(host->userChangedParam(PARAM_CREATE), PF_Err_NONE);
    const Calls& all = host->records().calls;
    return Calls(all.begin() + long(start), all.end());
}

long countOf(Calls::const_iterator begin, Calls::const_iterator end, const std::string& op) {
    return long(std::count(begin, end, op));
}

// The position of the first call of op that follows the first call of anchor, counted among
// the calls of op (1-based), as a fault injected before the press counts them.
int ordinalAfter(const Calls& calls, const std::string& anchor, const std::string& op) {
    const auto a = std::find(calls.begin(), calls.end(), anchor);
    const auto o = std::find(a, calls.end(), op);
    EXPECT_NE(o, calls.end()) << op << " after " << anchor;
    return int(countOf(calls.begin(), o, op) + 1);
}

std::vector<double> scaleValues(const sim::Host& host) {
    std::vector<double> values;
    for (const sim::Key& key : const_cast<sim::Host&>(host).project().comp.layers[1].scale.keys)
        values.push_back(key.value[0]);
    return values;
}

TEST(CreateHostFailures, PixelFormatSuiteFailuresAreShownAndTheRunGoesOn) {
    const Calls calls = pressCalls();
    const auto firstCheckout = std::find(calls.begin(), calls.end(), "checkout_param");
    // The World suite is the last suite acquired before the Source layer is checked out, and the
    // first released after it.
    const int acquire = int(countOf(calls.begin(), firstCheckout, "AcquireSuite"));
    const int release = int(countOf(calls.begin(), firstCheckout, "ReleaseSuite")) + 1;
    const long checkouts = countOf(calls.begin(), calls.end(), "checkout_param");

    // A first press stores the Source image's pixel format; a later press that cannot learn it
    // again runs with the stored one.
    auto host = twoFrameHost();
    ASSERT_EQ(host->userChangedParam(PARAM_CREATE), PF_Err_NONE);
    const auto held = host->leaks();
    const long before = host->callCount("checkout_param");
    host->injectFault("AcquireSuite", acquire, kSPSuiteNotFoundError);
    EXPECT_EQ(host->userChangedParam(PARAM_CREATE), PF_Err_NONE);
    EXPECT_EQ(host->records().messages, std::vector<std::string>({"Couldn't load suite."}));
    EXPECT_TRUE(host->records().commands.back().outFlags & PF_OutFlag_DISPLAY_ERROR_MESSAGE);
    // Without the suite nothing is checked out; the run's own check-outs still happen.
    EXPECT_EQ(host->callCount("checkout_param") - before, checkouts - 1);
    EXPECT_EQ(scaleValues(*host), std::vector<double>({50, 150}));
    EXPECT_EQ(host->leaks(), held);

    host = twoFrameHost();
    ASSERT_EQ(host->userChangedParam(PARAM_CREATE), PF_Err_NONE);
    const auto kept = host->leaks();
    host->injectFault("ReleaseSuite", release, kSPSuiteNotFoundError);
    EXPECT_EQ(host->userChangedParam(PARAM_CREATE), PF_Err_NONE);
    EXPECT_EQ(host->records().messages, std::vector<std::string>({"Couldn't release suite."}));
    EXPECT_EQ(scaleValues(*host), std::vector<double>({50, 150}));
    // Not asked again, the host keeps the suite; the check-out was checked in all the same.
    auto expected = kept;
    expected["suite"] += 1;
    EXPECT_EQ(host->leaks(), expected);
}

TEST(CreateHostFailures, AFailedCompositionFactStopsWithItsErrorAndReleasesWhatItHolds) {
    const Calls calls = pressCalls();
    // The Source layer's Position value, read right after its stream is obtained.
    const int positionRead =
        ordinalAfter(calls, "AEGP_GetNewLayerStream", "AEGP_GetNewStreamValue");
    const long buttonRefreshes = countOf(calls.begin(), calls.end(), "PF_UpdateParamUI");

    auto host = twoFrameHost();
    const auto held = host->leaks();
    const std::string before = fingerprint(host->project());
    const long refreshes = host->callCount("PF_UpdateParamUI");
    host->injectFault("AEGP_GetNewStreamValue", positionRead, A_Err_ALLOC);
    EXPECT_EQ(host->userChangedParam(PARAM_CREATE), A_Err_ALLOC);
    EXPECT_EQ(host->leaks(), held);
    EXPECT_EQ(fingerprint(host->project()), before);
    EXPECT_TRUE(host->records().undoGroups.empty());
    ASSERT_EQ(host->records().messages.size(), 1u);
    const std::string& told = host->records().messages[0];
    EXPECT_NE(told.find("reading the composition"), std::string::npos) << told;
    EXPECT_NE(told.find("Nothing was changed."), std::string::npos) << told;
    // The Create button is refreshed only after a press that ends without error.
    EXPECT_EQ(host->callCount("PF_UpdateParamUI") - refreshes, buttonRefreshes - 1);
}

// A refused release is not asked again (the host may have let go of the object before it failed):
// the plug-in forgets the object either way, and the refusal becomes the result.
TEST(CreateHostFailures, ARefusedReleaseIsNotAskedAgainAndBecomesTheResult) {
    const Calls calls = pressCalls();
    // The Source layer's Position stream is the last stream the press gives back.
    const int lastDispose = int(countOf(calls.begin(), calls.end(), "AEGP_DisposeStream"));

    for (const bool after : {false, true}) {
        SCOPED_TRACE(after ? "refused after the host let go" : "refused, the host keeps it");
        auto host = twoFrameHost();
        auto expected = host->leaks();
        if (!after) expected["stream"] += 1;
        const long disposes = host->callCount("AEGP_DisposeStream");
        host->injectFault("AEGP_DisposeStream", lastDispose, A_Err_PARAMETER, after);
        EXPECT_EQ(host->userChangedParam(PARAM_CREATE), A_Err_PARAMETER);
        EXPECT_EQ(host->callCount("AEGP_DisposeStream") - disposes, lastDispose);  // asked once
        EXPECT_EQ(scaleValues(*host), std::vector<double>({50, 150}));  // the run itself went ahead
        EXPECT_EQ(host->records().undoGroups.size(), 1u);
        EXPECT_EQ(host->leaks(), expected);
        EXPECT_TRUE(host->misuse().empty());
        ASSERT_EQ(host->records().messages.size(), 1u);
        const std::string& told = host->records().messages[0];
        EXPECT_NE(told.find("1 host object could not be released."), std::string::npos) << told;
        EXPECT_NE(told.find("The collage is complete."), std::string::npos) << told;
    }
}

TEST(CreateHostFailures, AFailedSettingReadKeepsTheLastValueReadForThatSetting) {
    const Calls calls = pressCalls();
    const int positionRead =
        ordinalAfter(calls, "AEGP_GetNewLayerStream", "AEGP_GetNewStreamValue");
    // 25 settings are read per frame (no Custom ease); Min Size is the fifth, Max Size the sixth.
    const int minSizeAtSecondFrame = positionRead + 25 + 5;

    auto host = twoFrameHost();
    const auto held = host->leaks();
    host->injectFault("AEGP_GetNewStreamValue", minSizeAtSecondFrame, A_Err_GENERIC);
    host->injectFault("AEGP_GetNewStreamValue", minSizeAtSecondFrame + 1, A_Err_GENERIC);
    EXPECT_EQ(host->userChangedParam(PARAM_CREATE), PF_Err_NONE);
    // Both sizes stay at frame 0's 10 px instead of 30 px; nothing else is disturbed.
    EXPECT_EQ(scaleValues(*host), std::vector<double>({50, 50}));
    EXPECT_EQ(host->leaks(), held);
    EXPECT_EQ(host->records().undoGroups.size(), 1u);
    // The user is told, once.
    ASSERT_EQ(host->records().messages.size(), 1u);
    EXPECT_NE(host->records().messages[0].find("2 readings replaced by a fallback value."),
              std::string::npos)
        << host->records().messages[0];
}

}  // namespace
