// Suite services: the suite handler's lazy acquisition and release, the missing-suite code, and
// the reporting acquisitions of AEFX_AcquireSuite and the drawing suites.
#include <gtest/gtest.h>

#include <cstring>

#include "AEFX_SuiteHelper.h"
#include "AEGP_SuiteHandler.h"
#include "host/SuiteServices.h"
#include "test_host_fixture.h"

namespace {

using hostfixture::HostTest;

class HostSuites : public HostTest {
  protected:
    HostSuites() { std::memset(&out, 0, sizeof out); }
    PF_OutData out;
};

// The code a call throws, or 0 when it returns.
template <class F>
A_long thrownBy(F&& f) {
    try {
        f();
    } catch (A_long code) {
        return code;
    }
    return 0;
}

TEST_F(HostSuites, TheHandlerAcquiresEachSuiteOnceAndReleasesAllAtTheEnd) {
    {
        AEGP_SuiteHandler suites(host.inData()->pica_basicP);
        EXPECT_EQ(host.callCount("AcquireSuite"), 0);
        AEGP_LayerSuite7* layers = suites.LayerSuite7();
        EXPECT_EQ(suites.LayerSuite7(), layers);
        suites.UtilitySuite5();
        suites.StreamSuite4();
        suites.StreamSuite2();
        EXPECT_EQ(host.callCount("AcquireSuite"), 4);
        EXPECT_EQ(host.leaks().at("suite"), 4);
    }
    EXPECT_EQ(host.callCount("ReleaseSuite"), 4);
    expectNoLeaks();
}

TEST_F(HostSuites, EveryAccessorReachesASuiteTheHostServes) {
    AEGP_SuiteHandler suites(host.inData()->pica_basicP);
    EXPECT_NE(suites.UtilitySuite4(), nullptr);
    EXPECT_NE(suites.PFInterfaceSuite1(), nullptr);
    EXPECT_NE(suites.EffectSuite2(), nullptr);
    EXPECT_NE(suites.EffectSuite3(), nullptr);
    EXPECT_NE(suites.KeyframeSuite4(), nullptr);
    EXPECT_NE(suites.CompSuite7(), nullptr);
    EXPECT_NE(suites.CompSuite8(), nullptr);
    EXPECT_NE(suites.ItemSuite8(), nullptr);
    EXPECT_NE(suites.AdvAppSuite2(), nullptr);
    EXPECT_NE(suites.ParamUtilsSuite3(), nullptr);
    EXPECT_NE(suites.HandleSuite1(), nullptr);
    EXPECT_NE(suites.EffectCustomUISuite1(), nullptr);
    EXPECT_NE(suites.DrawbotSuiteCurrent(), nullptr);
    EXPECT_NE(suites.SupplierSuiteCurrent(), nullptr);
    EXPECT_NE(suites.SurfaceSuiteCurrent(), nullptr);
    EXPECT_NE(suites.PathSuiteCurrent(), nullptr);
}

TEST_F(HostSuites, AMissingSuiteThrows516) {
    EXPECT_EQ(thrownBy([] { AEGP_SuiteHandler suites(nullptr); }), PF_Err_BAD_CALLBACK_PARAM);
    host.injectFault("AcquireSuite", 2, kSPSuiteNotFoundError);
    EXPECT_EQ(thrownBy([&] {
                  AEGP_SuiteHandler suites(host.inData()->pica_basicP);
                  suites.LayerSuite7();
                  suites.CompSuite8();
              }),
              PF_Err_BAD_CALLBACK_PARAM);
    host.injectFault("AcquireSuite", 1, kSPSuiteNotFoundError);
    EXPECT_EQ(thrownBy([&] {
                  ScopedSuite<PF_ParamUtilsSuite1> utils(
                      host.inData()->pica_basicP, kPFParamUtilsSuite, kPFParamUtilsSuiteVersion1);
              }),
              PF_Err_BAD_CALLBACK_PARAM);
    expectNoLeaks();
}

TEST_F(HostSuites, AScopedSuiteHoldsItsVersionForTheScope) {
    {
        ScopedSuite<PF_ParamUtilsSuite1> utils(host.inData()->pica_basicP, kPFParamUtilsSuite,
                                               kPFParamUtilsSuiteVersion1);
        EXPECT_NE(utils->PF_UpdateParamUI, nullptr);
        EXPECT_EQ(host.leaks().at("suite"), 1);
    }
    expectNoLeaks();
}

TEST_F(HostSuites, AEFXAcquireReportsFailureThroughTheOutputRecord) {
    void* suite = &out;
    EXPECT_EQ(AEFX_AcquireSuite(host.inData(), &out, "No Such Suite", 1, nullptr, &suite),
              PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(suite, nullptr);
    EXPECT_EQ(out.out_flags, PF_OutFlag_DISPLAY_ERROR_MESSAGE);
    EXPECT_STREQ(out.return_msg, "Not able to acquire AEFX Suite.");
    EXPECT_EQ(
        AEFX_AcquireSuite(host.inData(), &out, "No Such Suite", 1, "Couldn't load suite.", &suite),
        PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_STREQ(out.return_msg, "Couldn't load suite.");
    EXPECT_EQ(AEFX_ReleaseSuite(host.inData(), &out, kPFWorldSuite, 2, nullptr),
              PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_STREQ(out.return_msg, "Not able to release AEFX Suite.");
    EXPECT_EQ(AEFX_ReleaseSuite(host.inData(), &out, kPFWorldSuite, 2, "Couldn't release suite."),
              PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_STREQ(out.return_msg, "Couldn't release suite.");
    EXPECT_EQ(host.takeMisuse().size(), 2u);  // the releases of a suite never acquired
    expectNoLeaks();
}

TEST_F(HostSuites, AEFXAcquireAndReleaseSucceedQuietly) {
    void* suite = nullptr;
    ASSERT_EQ(AEFX_AcquireSuite(host.inData(), &out, kPFWorldSuite, 2, nullptr, &suite),
              PF_Err_NONE);
    EXPECT_NE(suite, nullptr);
    EXPECT_EQ(AEFX_ReleaseSuite(host.inData(), &out, kPFWorldSuite, 2, nullptr), PF_Err_NONE);
    EXPECT_EQ(out.out_flags, 0);
    EXPECT_STREQ(out.return_msg, "");
    expectNoLeaks();
}

TEST_F(HostSuites, DrawingSuitesAreReleasedExactlyAsAcquired) {
    DRAWBOT_Suites suites{};
    ASSERT_EQ(AEFX_AcquireDrawbotSuites(host.inData(), &out, &suites), PF_Err_NONE);
    EXPECT_NE(suites.drawbot_suiteP, nullptr);
    EXPECT_NE(suites.supplier_suiteP, nullptr);
    EXPECT_NE(suites.surface_suiteP, nullptr);
    EXPECT_NE(suites.path_suiteP, nullptr);
    EXPECT_EQ(host.leaks().at("suite"), 4);
    EXPECT_EQ(AEFX_ReleaseDrawbotSuites(host.inData(), &out), PF_Err_NONE);
    expectNoLeaks();
    for (int k = 1; k <= 4; ++k) {
        SCOPED_TRACE(k);
        host.injectFault("AcquireSuite", k, kSPSuiteNotFoundError);
        EXPECT_EQ(AEFX_AcquireDrawbotSuites(host.inData(), &out, &suites),
                  PF_Err_BAD_CALLBACK_PARAM);
        const long releasesBefore = host.callCount("ReleaseSuite");
        EXPECT_EQ(AEFX_ReleaseDrawbotSuites(host.inData(), &out), PF_Err_NONE);
        EXPECT_EQ(host.callCount("ReleaseSuite") - releasesBefore, k - 1);
        expectNoLeaks();
        host.clearFaults();
    }
}

}  // namespace
