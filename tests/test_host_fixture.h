#pragma once
// A simulated host with the plug-in's entry point attached, for the host-glue tests.
#include <gtest/gtest.h>

#include "AE_Effect.h"
#include "sim/core/Host.h"

extern "C" PF_Err EntryPointFunc(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                 PF_ParamDef* params[], PF_LayerDef* output, void* extra);

namespace hostfixture {

// One composition holding one solid that carries the effect.
inline sim::Project oneLayerProject() {
    sim::Project project;
    sim::Layer layer;
    layer.id = 1;
    layer.name = "Solid 1";
    layer.width = 64;
    layer.height = 48;
    project.comp.layers.push_back(layer);
    return project;
}

class HostTest : public ::testing::Test {
  protected:
    HostTest() : host(oneLayerProject()) { host.attach(&EntryPointFunc); }

    // The effect applied: global record made and parameters registered.
    void setUpEffect() {
        ASSERT_EQ(host.globalSetup(), PF_Err_NONE);
        ASSERT_EQ(host.paramsSetup(), PF_Err_NONE);
    }

    void expectNoLeaks() {
        EXPECT_TRUE(host.leaks().empty()) << "host objects left undisposed";
        EXPECT_TRUE(host.misuse().empty()) << "host handles released twice or used after release";
    }

    sim::Host host;
};

}  // namespace hostfixture
