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
    // 32 settings are read per frame (no Custom ease); Min Size is the fifth, Max Size the sixth.
    const int minSizeAtSecondFrame = positionRead + 32 + 5;

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

// Eases the host does not set: the other keys still get theirs, the user is told in the press's
// one message how many keys went without and why, and the script's result and error handles
// are freed on every path.
TEST(CreateHostFailures, EasesNotSetAreToldWithTheirCount) {
    const struct {
        bool refusedOnOneLayer;  // Card 1's Scale takes one ease, not three
        const char* op;          // a host call that fails (the first of the press), or none
        const char* told;
        size_t easedCards;  // cards whose keys are all eased
    } cases[] = {
        {false, "", "", 2},
        {true, "",
         "Tessaron (Pro): Eases not set: 2 of 4 keys (the first error: Error: "
         "setTemporalEaseAtKey: the array holds 3 KeyframeEase values, the property needs 1). "
         "Undo restores the project as it was before Create.",
         1},
        {false, "AEGP_ExecuteScript",
         "Tessaron (Pro): 1 host failure, the first in running the ease script (error 3). "
         "Eases not set: 4 of 4 keys. Undo restores the project as it was before Create.",
         0},
        {false, "AEGP_LockMemHandle",
         "Tessaron (Pro): 1 host failure, the first in reading the ease script's result (error "
         "3). Temporal eases not checked. Undo restores the project as it was before Create.",
         2},
        {false, "AEGP_GetMemHandleSize", "Temporal eases not checked.", 2},
    };
    for (const auto& c : cases) {
        auto host = twoFrameHost();
        host->setParam(PARAM_TEMPORAL_INTERPOLATION, double(TemporalPreset::EaseInAndOut));
        if (c.refusedOnOneLayer) host->project().comp.layers[1].scale.easeDims = 1;
        const auto held = host->leaks();
        if (*c.op) host->injectFault(c.op, 1, A_Err_PARAMETER);
        EXPECT_EQ(host->userChangedParam(PARAM_CREATE), PF_Err_NONE) << c.op;
        EXPECT_EQ(host->leaks(), held) << c.op;
        const auto& messages = host->records().messages;
        if (*c.told) {
            ASSERT_EQ(messages.size(), 1u) << c.op;
            EXPECT_NE(messages[0].find(c.told), std::string::npos) << messages[0];
        } else {
            EXPECT_TRUE(messages.empty()) << messages.front();
        }
        EXPECT_EQ(scaleValues(*host), std::vector<double>({50, 150}));  // the keys are all there
        size_t eased = 0;
        for (size_t card = 1; card <= 2; ++card) {
            bool all = true;
            for (const sim::Key& k : host->project().comp.layers[card].scale.keys) {
                all = all && k.style().inInterp == sim::Interp::Bezier &&
                      k.style().outInterp == sim::Interp::Bezier;
            }
            eased += all ? 1 : 0;
        }
        EXPECT_EQ(eased, c.easedCards) << c.op;
    }
}

}  // namespace
