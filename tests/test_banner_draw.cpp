// The About banner: drawn unscaled at the control area's top-left, only for the About control,
// and the first draw event after Global Setup asks for exactly one re-render.
#include <cairo.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "SPBasic.h"
#include "sim/cli/Banner.h"
#include "sim/core/Host.h"
#include "host/BannerImage.inc"

namespace fs = std::filesystem;

namespace {

constexpr int kW = 250, kH = 35;
constexpr PF_OutFlags kForceRerender = 1L << 22;

// A surface pixel as straight RGBA.
std::array<int, 4> straightAt(cairo_surface_t* s, int x, int y) {
    const uint8_t* row = cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s);
    const uint32_t p = reinterpret_cast<const uint32_t*>(row)[x];
    const int a = int(p >> 24);
    auto un = [a](uint32_t c) { return a ? int((c * 255 + a / 2) / a) : 0; };
    return {un(p >> 16 & 255), un(p >> 8 & 255), un(p & 255), a};
}

bool blank(cairo_surface_t* s) {
    cairo_surface_flush(s);
    for (int y = 0; y < cairo_image_surface_get_height(s); ++y)
        for (int x = 0; x < cairo_image_surface_get_width(s); ++x)
            if (straightAt(s, x, y)[3] != 0) return false;
    return true;
}

class BannerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        sim::Project project;
        sim::Layer layer;
        layer.id = 1;
        layer.name = "Solid";
        layer.width = 100;
        layer.height = 100;
        project.comp.layers = {layer};
        host_ = std::make_unique<sim::Host>(project);
        host_->setEffectLayer(0);
        host_->loadPlugin(TESSARON_BINARY_DIR "/Tessaron_Pro.so");
        ASSERT_EQ(host_->apply(), PF_Err_NONE);
    }
    void TearDown() override {
        host_->globalSetdown();
        EXPECT_TRUE(host_->leaks().empty());
    }

    PF_Err draw(int index, int area, const PF_Rect& frame = sim::kAboutArea) {
        flags_ = -1;
        return host_->drawEvent(index, area, frame, &flags_);
    }
    bool forcedRerender() const { return host_->outData().out_flags & kForceRerender; }

    std::unique_ptr<sim::Host> host_;
    PF_EventOutFlags flags_ = 0;
};

TEST(BannerImage, IsWhiteMarksWithSoftEdgesOnTransparent) {
    static_assert(sizeof headerImgData == 35000, "250 x 35 x 4 bytes");
    int transparent = 0, soft = 0, solid = 0;
    for (int i = 0; i < kW * kH; ++i) {
        const unsigned char* p = &headerImgData[4 * i];
        if (p[3] == 0) {
            ++transparent;
            continue;
        }
        EXPECT_EQ(p[0] & p[1] & p[2], 255) << "pixel " << i << " is not white";
        (p[3] == 255 ? solid : soft)++;
    }
    EXPECT_GT(transparent, kW * kH / 2);
    EXPECT_GT(soft, 100);
    EXPECT_GT(solid, 100);
    for (int y = 0; y < kH; ++y) EXPECT_EQ(headerImgData[4 * (y * kW + kW - 1) + 3], 0);
}

TEST_F(BannerTest, LandsUnscaledAtTheFramesTopLeft) {
    const PF_Rect frame{30, 12, 30 + kW, 12 + kH};
    ASSERT_EQ(draw(1, PF_EA_CONTROL, frame), PF_Err_NONE);
    EXPECT_EQ(flags_, PF_EO_HANDLED_EVENT);
    cairo_surface_t* s = host_->drawingSurface();
    ASSERT_NE(s, nullptr);
    cairo_surface_flush(s);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const unsigned char* b = &headerImgData[4 * (y * kW + x)];
            const auto got = straightAt(s, 30 + x, 12 + y);
            ASSERT_EQ(got[3], b[3]) << x << "," << y;
            if (b[3] >= 16) {
                ASSERT_NEAR(got[0], b[2], 8) << x << "," << y;
            }
        }
    for (int y = 0; y < 12 + kH; ++y)
        for (int x = 0; x < 30; ++x) ASSERT_EQ(straightAt(s, x, y)[3], 0);
    for (int x = 0; x < 30 + kW; ++x)
        for (int y = 0; y < 12; ++y) ASSERT_EQ(straightAt(s, x, y)[3], 0);
}

TEST_F(BannerTest, FirstDrawForcesOneRerenderAndLaterOnesClearIt) {
    ASSERT_EQ(draw(1, PF_EA_CONTROL), PF_Err_NONE);
    EXPECT_TRUE(forcedRerender());
    ASSERT_EQ(draw(1, PF_EA_CONTROL), PF_Err_NONE);
    EXPECT_FALSE(forcedRerender());
    ASSERT_EQ(draw(1, PF_EA_CONTROL), PF_Err_NONE);
    EXPECT_FALSE(forcedRerender());
}

TEST_F(BannerTest, TitleAreaDrawsNothingButRunsTheRedrawRule) {
    ASSERT_EQ(draw(1, PF_EA_PARAM_TITLE), PF_Err_NONE);
    EXPECT_EQ(flags_, PF_EO_HANDLED_EVENT);
    EXPECT_TRUE(forcedRerender());
    EXPECT_TRUE(blank(host_->drawingSurface()));
    EXPECT_EQ(host_->callCount("DrawImage"), 0);
}

TEST_F(BannerTest, OtherParametersDrawNothingButRunTheRedrawRule) {
    ASSERT_EQ(draw(2, PF_EA_CONTROL), PF_Err_NONE);
    EXPECT_EQ(flags_, PF_EO_HANDLED_EVENT);
    EXPECT_TRUE(forcedRerender());
    ASSERT_EQ(draw(40, PF_EA_CONTROL), PF_Err_NONE);
    EXPECT_FALSE(forcedRerender());
    EXPECT_TRUE(blank(host_->drawingSurface()));
}

TEST_F(BannerTest, FailedDrawingReferenceSkipsTheDrawingButStillRunsTheRule) {
    host_->injectFault("PF_GetDrawingReference", 1, 5);
    EXPECT_EQ(draw(1, PF_EA_CONTROL), 5);
    EXPECT_NE(flags_, PF_EO_HANDLED_EVENT);
    EXPECT_TRUE(forcedRerender());
    EXPECT_TRUE(blank(host_->drawingSurface()));
    // The next event draws and no longer forces a re-render.
    ASSERT_EQ(draw(1, PF_EA_CONTROL), PF_Err_NONE);
    EXPECT_FALSE(forcedRerender());
    EXPECT_FALSE(blank(host_->drawingSurface()));
}

TEST_F(BannerTest, FailedImageSkipsTheDrawingButReleasesTheBuffer) {
    host_->injectFault("NewImageFromBuffer", 1, 6);
    EXPECT_EQ(draw(1, PF_EA_CONTROL), 6);
    EXPECT_EQ(host_->callCount("DrawImage"), 0);
    EXPECT_EQ(host_->callCount("ReleaseObject"), 0);
    EXPECT_EQ(host_->callCount("host_dispose_handle"), 1);  // TearDown checks for leaks
}

TEST_F(BannerTest, FailedDrawKeepsItsErrorAndReleasesTheImage) {
    host_->injectFault("DrawImage", 1, 8);
    EXPECT_EQ(draw(1, PF_EA_CONTROL), 8);
    EXPECT_EQ(host_->callCount("ReleaseObject"), 1);
    EXPECT_EQ(host_->callCount("host_dispose_handle"), 1);
}

// One About draw event: the drawing suites are held around everything else, the drawing
// reference comes before the supplier and the surface, and the image lives inside its buffer.
TEST_F(BannerTest, DrawEventCallsTheHostInOrder) {
    host_->records().calls.clear();
    ASSERT_EQ(draw(1, PF_EA_CONTROL), PF_Err_NONE);
    const std::vector<std::string>& calls = host_->records().calls;
    ASSERT_GE(calls.size(), 8u);
    EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + 5),
              std::vector<std::string>(5, "AcquireSuite"));  // four drawing, one custom UI
    EXPECT_EQ(std::vector<std::string>(calls.end() - 4, calls.end()),
              std::vector<std::string>(4, "ReleaseSuite"));
    static const std::set<std::string> kDrawing = {
        "PF_GetDrawingReference", "GetSupplier", "GetSurface",    "host_new_handle",
        "NewImageFromBuffer",     "DrawImage",   "ReleaseObject", "host_dispose_handle"};
    std::vector<std::string> drawing;
    for (const std::string& c : calls)
        if (kDrawing.count(c)) drawing.push_back(c);
    EXPECT_EQ(drawing,
              (std::vector<std::string>{"PF_GetDrawingReference", "GetSupplier", "GetSurface",
                                        "host_new_handle", "NewImageFromBuffer", "DrawImage",
                                        "ReleaseObject", "host_dispose_handle"}));
}

// A drawing suite the host cannot give is reported in the return message; the redraw rule
// still runs and the suites acquired before it go back (TearDown checks for leaks).
TEST_F(BannerTest, AMissingDrawingSuiteIsReportedAndSkipsTheDrawing) {
    host_->injectFault("AcquireSuite", 2, kSPSuiteNotFoundError);
    EXPECT_EQ(draw(1, PF_EA_CONTROL), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_NE(flags_, PF_EO_HANDLED_EVENT);
    EXPECT_TRUE(host_->outData().out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE);
    EXPECT_STREQ(host_->outData().return_msg, "Not able to acquire AEFX Suite.");
    EXPECT_TRUE(forcedRerender());
    EXPECT_EQ(host_->callCount("PF_GetDrawingReference"), 0);
    EXPECT_EQ(host_->callCount("DrawImage"), 0);
}

TEST_F(BannerTest, AboutPngHoldsTheBanner) {
    const fs::path png =
        fs::temp_directory_path() / ("tessaron_banner_" + std::to_string(::getpid()) + ".png");
    ASSERT_EQ(sim::drawAboutBanner(*host_, png.string()), PF_Err_NONE);
    cairo_surface_t* s = cairo_image_surface_create_from_png(png.string().c_str());
    ASSERT_EQ(cairo_surface_status(s), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(s), kW);
    EXPECT_EQ(cairo_image_surface_get_height(s), kH);
    EXPECT_FALSE(blank(s));
    cairo_surface_destroy(s);
    fs::remove(png);
}

}  // namespace
