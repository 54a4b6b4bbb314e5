// The entry point: version gate, About, global setup and setdown, dispatch, suite failures, and
// the plug-in's exported symbols.
#include <gtest/gtest.h>

#include <cstdio>
#include <new>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "SPBasic.h"
#include "host/GlobalData.h"
#include "host/Handlers.h"
#include "host/Identity.h"
#include "host/Params.h"
#include "test_host_fixture.h"

namespace {

using hostfixture::HostTest;

constexpr const char* kTooOld = "Tessaron plug-in requires AE CS5.5 or later.";

PF_SpecVersion version(A_short major, A_short minor) {
    return PF_SpecVersion{major, minor};
}

TEST(HostEntryVersion, ServesFrom13Point1Upwards) {
    EXPECT_TRUE(apiVersionServed(version(13, 1)));
    EXPECT_TRUE(apiVersionServed(version(13, 28)));
    EXPECT_TRUE(apiVersionServed(version(14, 0)));
    EXPECT_TRUE(apiVersionServed(version(25, 0)));
    EXPECT_FALSE(apiVersionServed(version(13, 0)));
    EXPECT_FALSE(apiVersionServed(version(12, 5)));
    EXPECT_FALSE(apiVersionServed(version(12, 99)));
    EXPECT_FALSE(apiVersionServed(version(0, 0)));
}

TEST(HostEntryAbout, TextHasNameVersionDescriptionAndHolderOnCarriageReturnLines) {
    EXPECT_EQ(aboutText(),
              "Tessaron (Pro) v1.0.51\rFill a layer with a collage of layers.\r"
              "Copyright 2026 Tessaron.");
    EXPECT_EQ(aboutText().find('\n'), std::string::npos);
    EXPECT_LT(aboutText().size(), size_t(PF_MAX_EFFECT_MSG_LEN));
}

TEST_F(HostTest, OldHostsGetTheVersionMessageAndZeroForEveryCommand) {
    for (auto v : {version(13, 0), version(12, 5)}) {
        host.setApiVersion(v.major, v.minor);
        for (PF_Cmd cmd : {PF_Cmd_ABOUT, PF_Cmd_GLOBAL_SETUP, PF_Cmd_PARAMS_SETUP,
                           PF_Cmd_UPDATE_PARAMS_UI, PF_Cmd_RENDER, PF_Cmd_SMART_RENDER}) {
            SCOPED_TRACE(cmd);
            EXPECT_EQ(host.command(cmd), PF_Err_NONE);
            EXPECT_STREQ(host.outData().return_msg, kTooOld);
            EXPECT_EQ(host.outData().out_flags, 0);
            EXPECT_EQ(host.outData().out_flags2, 0);
            EXPECT_EQ(host.outData().global_data, nullptr);
        }
        EXPECT_EQ(host.callCount("AcquireSuite"), 0);
        EXPECT_EQ(host.callCount("add_param"), 0);
    }
    expectNoLeaks();
}

TEST_F(HostTest, NewerHostsAreServed) {
    for (auto v : {version(13, 1), version(13, 28), version(14, 0)}) {
        host.setApiVersion(v.major, v.minor);
        ASSERT_EQ(host.globalSetup(), PF_Err_NONE);
        EXPECT_EQ(host.outData().out_flags, 0x02008000);
        EXPECT_STREQ(host.outData().return_msg, "");
        ASSERT_EQ(host.globalSetdown(), PF_Err_NONE);
    }
    expectNoLeaks();
}

TEST_F(HostTest, AboutWritesTheTextIntoTheReturnMessage) {
    EXPECT_EQ(host.about(), PF_Err_NONE);
    EXPECT_EQ(std::string(host.outData().return_msg), aboutText());
    EXPECT_EQ(host.outData().out_flags, 0);
    expectNoLeaks();
}

TEST_F(HostTest, GlobalSetupCreatesTheRecordAndSetsFlagsAndVersion) {
    ASSERT_EQ(host.globalSetup(), PF_Err_NONE);
    const PF_OutData& out = host.outData();
    EXPECT_EQ(out.out_flags, 0x02008000);
    EXPECT_EQ(out.out_flags2, 0x00001400);
    EXPECT_EQ(out.my_version, 0x00080601u);
    ASSERT_NE(out.global_data, nullptr);
    const GlobalData* g = static_cast<const GlobalData*>(*out.global_data);
    EXPECT_NE(host.pluginId(), 0);
    EXPECT_EQ(g->pluginId, host.pluginId());
    EXPECT_EQ(g->redrawPending, 1);
    EXPECT_EQ(host.callCount("AEGP_RegisterWithAEGP"), 1);
    // The record is the one object the host holds until setdown.
    EXPECT_EQ(host.leaks(), (std::map<std::string, long>{{"handle", 1}}));
    ASSERT_EQ(host.globalSetdown(), PF_Err_NONE);
    EXPECT_EQ(host.callCount("host_dispose_handle"), 1);
    expectNoLeaks();
}

// Allocation, locking and registration failures leave no record but still set the flags.
TEST_F(HostTest, GlobalSetupWithoutARecordStillSetsFlagsAndLeaksNothing) {
    for (const char* op : {"AEGP_RegisterWithAEGP", "host_new_handle", "host_lock_handle"}) {
        SCOPED_TRACE(op);
        host.injectFault(op, 1, 7);
        EXPECT_EQ(host.globalSetup(), PF_Err_NONE);
        EXPECT_EQ(host.outData().global_data, nullptr);
        EXPECT_EQ(host.outData().out_flags, 0x02008000);
        EXPECT_EQ(host.outData().out_flags2, 0x00001400);
        EXPECT_EQ(host.outData().my_version, 0x00080601u);
        expectNoLeaks();
        host.clearFaults();
    }
}

// The host's calls in Global Setup, in order: the record is unlocked before a failed
// registration gives it back, and a record that cannot be locked is given back unlocked.
std::vector<std::string> handleAndRegisterCalls(sim::Host& host) {
    static const std::set<std::string> kOps = {"host_new_handle", "host_lock_handle",
                                               "AEGP_RegisterWithAEGP", "host_unlock_handle",
                                               "host_dispose_handle"};
    std::vector<std::string> calls;
    for (const std::string& c : host.records().calls)
        if (kOps.count(c)) calls.push_back(c);
    return calls;
}

TEST_F(HostTest, GlobalSetupUnlocksTheRecordBeforeGivingItBack) {
    using Calls = std::vector<std::string>;
    ASSERT_EQ(host.globalSetup(), PF_Err_NONE);
    EXPECT_EQ(handleAndRegisterCalls(host), (Calls{"host_new_handle", "host_lock_handle",
                                                   "AEGP_RegisterWithAEGP", "host_unlock_handle"}));
    ASSERT_EQ(host.globalSetdown(), PF_Err_NONE);

    host.records().calls.clear();
    host.injectFault("AEGP_RegisterWithAEGP", 1, 7);
    ASSERT_EQ(host.globalSetup(), PF_Err_NONE);
    EXPECT_EQ(handleAndRegisterCalls(host),
              (Calls{"host_new_handle", "host_lock_handle", "AEGP_RegisterWithAEGP",
                     "host_unlock_handle", "host_dispose_handle"}));
    host.clearFaults();

    host.records().calls.clear();
    host.injectFault("host_lock_handle", 1, 7);
    ASSERT_EQ(host.globalSetup(), PF_Err_NONE);
    EXPECT_EQ(handleAndRegisterCalls(host),
              (Calls{"host_new_handle", "host_lock_handle", "host_dispose_handle"}));
    expectNoLeaks();
}

// The version message goes through the host's formatted print; nothing else is called.
TEST_F(HostTest, TheVersionMessageIsPrintedByTheHost) {
    host.setApiVersion(12, 5);
    host.records().calls.clear();
    EXPECT_EQ(host.command(PF_Cmd_PARAMS_SETUP), PF_Err_NONE);
    EXPECT_EQ(host.records().calls, std::vector<std::string>{"sprintf"});
    expectNoLeaks();
}

// No exception reaches the host: a host code thrown is returned, running out of memory and
// any other failure end the command with an error.
TEST_F(HostTest, ExceptionsEndTheCommandWithAnErrorCode) {
    PF_InData in = *host.inData();
    PF_OutData out{};
    auto paramsSetup = [&] {
        return EntryPointFunc(PF_Cmd_PARAMS_SETUP, &in, &out, nullptr, nullptr, nullptr);
    };
    in.inter.add_param = [](PF_ProgPtr, PF_ParamIndex, PF_ParamDefPtr) -> PF_Err {
        throw A_long(603);
    };
    EXPECT_EQ(paramsSetup(), 603);
    in.inter.add_param = [](PF_ProgPtr, PF_ParamIndex, PF_ParamDefPtr) -> PF_Err {
        throw std::bad_alloc();
    };
    EXPECT_EQ(paramsSetup(), PF_Err_OUT_OF_MEMORY);
    in.inter.add_param = [](PF_ProgPtr, PF_ParamIndex, PF_ParamDefPtr) -> PF_Err {
        throw std::length_error("too long");
    };
    EXPECT_EQ(paramsSetup(), PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_NE(out.num_params, PARAM_COUNT);
    expectNoLeaks();
}

TEST_F(HostTest, GlobalSetdownWithoutARecordDisposesNothing) {
    EXPECT_EQ(host.globalSetdown(), PF_Err_NONE);
    EXPECT_EQ(host.callCount("host_dispose_handle"), 0);
    EXPECT_EQ(host.callCount("AcquireSuite"), 0);
    expectNoLeaks();
}

TEST_F(HostTest, AMissingSuiteEndsTheCommandWith516) {
    setUpEffect();
    host.injectFault("AcquireSuite", 1, kSPSuiteNotFoundError);
    EXPECT_EQ(host.updateParamsUI(), PF_Err_BAD_CALLBACK_PARAM);
    host.injectFault("AcquireSuite", 1, kSPSuiteNotFoundError);
    EXPECT_EQ(host.userChangedParam(PARAM_POSITION), PF_Err_BAD_CALLBACK_PARAM);
    ASSERT_EQ(host.globalSetdown(), PF_Err_NONE);
    host.injectFault("AcquireSuite", 2, kSPSuiteNotFoundError);
    EXPECT_EQ(host.globalSetup(), PF_Err_BAD_CALLBACK_PARAM);
    expectNoLeaks();
}

TEST_F(HostTest, CommandsWithoutAHandlerReturnZeroAndLeaveTheOutputAlone) {
    setUpEffect();
    for (PF_Cmd cmd : {2, 5, 6, 7, 8, 9, 10, 12, 16, 17, 18, 19, 20, 21, 22, 25, 28, 33}) {
        SCOPED_TRACE(cmd);
        const long callsBefore = long(host.records().calls.size());
        EXPECT_EQ(host.command(cmd), PF_Err_NONE);
        EXPECT_EQ(host.outData().out_flags, 0);
        EXPECT_EQ(host.outData().my_version, 0u);
        EXPECT_STREQ(host.outData().return_msg, "");
        EXPECT_EQ(long(host.records().calls.size()), callsBefore);
    }
    ASSERT_EQ(host.globalSetdown(), PF_Err_NONE);
    expectNoLeaks();
}

TEST_F(HostTest, AnEventOtherThanDrawReturnsZeroAndCallsNothing) {
    setUpEffect();
    for (PF_EventType type : {PF_Event_NEW_CONTEXT, PF_Event_DO_CLICK, PF_Event_IDLE}) {
        PF_EventExtra extra{};
        extra.e_type = type;
        const size_t callsBefore = host.records().calls.size();
        EXPECT_EQ(host.event(extra), PF_Err_NONE);
        EXPECT_EQ(extra.evt_out_flags, 0);
        EXPECT_EQ(host.records().calls.size(), callsBefore);
    }
    ASSERT_EQ(host.globalSetdown(), PF_Err_NONE);
    expectNoLeaks();
}

// Commands that read the global record refuse to run without one.
TEST_F(HostTest, CommandsNeedingTheRecordFailWhenGlobalSetupMadeNone) {
    host.injectFault("AEGP_RegisterWithAEGP", 1, 7);
    ASSERT_EQ(host.globalSetup(), PF_Err_NONE);
    ASSERT_EQ(host.paramsSetup(), PF_Err_NONE);
    EXPECT_EQ(host.userChangedParam(PARAM_SCALE), PF_Err_INTERNAL_STRUCT_DAMAGED);
    PF_EventExtra draw{};
    draw.e_type = PF_Event_DRAW;
    EXPECT_EQ(host.event(draw), PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(host.updateParamsUI(), PF_Err_NONE);
    EXPECT_EQ(host.globalSetdown(), PF_Err_NONE);
    expectNoLeaks();
}

TEST_F(HostTest, AChangedParameterStoresTheGlobalValues) {
    host.project().comp.downsample = 2;
    setUpEffect();
    host.setParam(PARAM_FRAMES_TO_RENDER, double(FramesToRender::EveryXFrames));
    host.setParam(PARAM_INTERVAL, 7.9);
    ASSERT_EQ(host.userChangedParam(PARAM_FRAMES_TO_RENDER), PF_Err_NONE);
    const GlobalData* g = static_cast<const GlobalData*>(*host.inData()->global_data);
    EXPECT_EQ(g->downsampleX, 0.5f);
    EXPECT_EQ(g->downsampleY, 0.5f);
    EXPECT_EQ(g->upsampleX, 2.0f);
    EXPECT_EQ(g->upsampleY, 2.0f);
    EXPECT_EQ(g->framesToRender, A_long(FramesToRender::EveryXFrames));
    EXPECT_EQ(g->interval, 7);
    // The UI is refreshed too: Interval applies to Every X Frames.
    EXPECT_FALSE(host.paramDisabled(PARAM_INTERVAL));
    EXPECT_TRUE(host.paramDisabled(PARAM_FORCE_KEYFRAMING));
    ASSERT_EQ(host.globalSetdown(), PF_Err_NONE);
    expectNoLeaks();
}

// Only EntryPointFunc is exported from the shared library.
TEST(HostEntryExports, TheLibraryExportsEntryPointFuncAlone) {
    const std::string lib = std::string(TESSARON_BINARY_DIR) + "/Tessaron_Pro.so";
    FILE* pipe = popen(("nm -D --defined-only '" + lib + "' 2>&1").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::set<std::string> functions;
    char line[512];
    while (fgets(line, sizeof line, pipe)) {
        char address[64], type[8], name[256];
        if (sscanf(line, "%63s %7s %255s", address, type, name) != 3) continue;
        const std::string t = type;
        if (t == "T" || t == "W" || t == "D" || t == "B" || t == "R" || t == "V") {
            functions.insert(name);
        }
    }
    ASSERT_EQ(pclose(pipe), 0);
    functions.erase("_init");
    functions.erase("_fini");
    EXPECT_EQ(functions, std::set<std::string>{identity::kEntryPointName});
}

// The built library, loaded as the host loads it, registers its parameters and cleans up.
TEST(HostEntryPlugin, TheBuiltPluginAppliesAndSetsDownCleanly) {
    sim::Host host(hostfixture::oneLayerProject());
    host.loadPlugin(std::string(TESSARON_BINARY_DIR) + "/Tessaron_Pro.so");
    ASSERT_EQ(host.apply(), PF_Err_NONE);
    EXPECT_EQ(host.paramDefs().size(), size_t(PARAM_COUNT));
    EXPECT_EQ(host.paramIndex("Remove Existing Keys"), PARAM_REMOVE_EXISTING_KEYS);
    EXPECT_TRUE(host.paramDisabled(PARAM_MIN_SIZE));  // Scale defaults to From Neighborhood
    EXPECT_EQ(host.userChangedParam(PARAM_SCALE), PF_Err_NONE);
    ASSERT_EQ(host.globalSetdown(), PF_Err_NONE);
    EXPECT_TRUE(host.leaks().empty());
}

}  // namespace
