// The render path: rectangle rules of the smart pre-render, and the effect's image passing
// through unchanged in plain and smart render at every bit depth.
#include <cairo.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include "Smart_Utils.h"
#include "sim/core/Host.h"
#include "sim/core/Pixels.h"

namespace fs = std::filesystem;

namespace {

bool sameRect(const PF_LRect& a, const PF_LRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string str(const PF_LRect& r) {
    return "{" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
           std::to_string(r.right) + "," + std::to_string(r.bottom) + "}";
}

#define EXPECT_RECT(a, b) EXPECT_TRUE(sameRect(a, b)) << str(a) << " vs " << str(b)

// ---------------------------------------------------------------- rectangles

TEST(RenderRects, EmptinessNeedsLeftBelowRightAndTopBelowBottom) {
    const PF_LRect normal{0, 0, 1, 1}, flat{0, 0, 1, 0}, thin{3, 0, 3, 5}, inverted{5, 5, 1, 9};
    EXPECT_FALSE(IsEmptyRect(&normal));
    EXPECT_TRUE(IsEmptyRect(&flat));
    EXPECT_TRUE(IsEmptyRect(&thin));
    EXPECT_TRUE(IsEmptyRect(&inverted));
}

TEST(RenderRects, EmptyDestinationBecomesTheSourceEvenAnEmptyOne) {
    PF_LRect dst{4, 4, 4, 9};
    const PF_LRect src{1, 2, 3, 4};
    UnionLRect(&src, &dst);
    EXPECT_RECT(dst, src);
    PF_LRect dst2{0, 0, 0, 0};
    const PF_LRect emptySrc{7, 8, 2, 3};
    UnionLRect(&emptySrc, &dst2);
    EXPECT_RECT(dst2, emptySrc);
}

TEST(RenderRects, EmptySourceLeavesDestination) {
    PF_LRect dst{1, 2, 3, 4};
    const PF_LRect src{-50, -50, -60, 100};
    UnionLRect(&src, &dst);
    EXPECT_RECT(dst, (PF_LRect{1, 2, 3, 4}));
}

// The union of two non-empty rectangles is the smallest one holding every pixel of both:
// checked pixel by pixel on random rectangles.
TEST(RenderRects, UnionIsTheSmallestRectangleHoldingBoth) {
    std::mt19937 gen(42);
    std::uniform_int_distribution<int> coord(-6, 6);
    auto randomRect = [&] {
        PF_LRect r;
        do r = PF_LRect{coord(gen), coord(gen), coord(gen), coord(gen)};
        while (IsEmptyRect(&r));
        return r;
    };
    auto inside = [](const PF_LRect& r, int x, int y) {
        return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
    };
    for (int trial = 0; trial < 500; ++trial) {
        const PF_LRect a = randomRect();
        PF_LRect u = randomRect();
        const PF_LRect b = u;
        UnionLRect(&a, &u);
        PF_LRect expected{100, 100, -100, -100};
        for (int y = -6; y < 6; ++y)
            for (int x = -6; x < 6; ++x)
                if (inside(a, x, y) || inside(b, x, y))
                    expected =
                        PF_LRect{std::min(expected.left, x), std::min(expected.top, y),
                                 std::max(expected.right, x + 1), std::max(expected.bottom, y + 1)};
        ASSERT_TRUE(sameRect(u, expected)) << str(a) << " + " << str(b) << " -> " << str(u);
    }
}

// ---------------------------------------------------------------- through the host

// An RGBA picture whose every pixel differs, with transparent and half-transparent parts.
void writeTestPicture(const std::string& path, int w, int h) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    uint8_t* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint8_t a = uint8_t(x < 5 ? 0 : (y < 10 ? 128 : 255));
            uint8_t* p = data + y * stride + 4 * x;  // premultiplied B, G, R, A
            p[0] = uint8_t((x * 7) * a / 255);
            p[1] = uint8_t((y * 9) * a / 255);
            p[2] = uint8_t((x + y) * 5 * a / 255);
            p[3] = a;
        }
    cairo_surface_mark_dirty(s);
    ASSERT_EQ(cairo_surface_write_to_png(s, path.c_str()), CAIRO_STATUS_SUCCESS);
    cairo_surface_destroy(s);
}

class RenderPathTest : public ::testing::TestWithParam<int> {
  protected:
    static constexpr int kW = 40, kH = 30;

    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("tessaron_render_path_" + std::to_string(::getpid()) +
                                            "_" + std::to_string(GetParam()));
        fs::create_directories(dir_);
        writeTestPicture((dir_ / "in.png").string(), kW, kH);
        sim::Project project;
        project.baseDir = dir_.string();
        project.comp.width = 64;
        project.comp.height = 48;
        project.comp.bitDepth = GetParam();
        sim::Layer layer;
        layer.id = 1;
        layer.name = "Input";
        layer.type = sim::LayerType::Footage;
        layer.width = kW;
        layer.height = kH;
        layer.imagePath = "in.png";
        project.comp.layers = {layer};
        host_ = std::make_unique<sim::Host>(project);
        host_->setEffectLayer(0);
        host_->loadPlugin(TESSARON_BINARY_DIR "/Tessaron_Pro.so");
        ASSERT_EQ(host_->apply(), PF_Err_NONE);
    }

    void TearDown() override {
        host_->globalSetdown();
        EXPECT_TRUE(host_->leaks().empty());
        host_.reset();
        fs::remove_all(dir_);
    }

    // The effect's input as the host hands it over.
    std::unique_ptr<sim::World> expectedInput() const {
        auto world = sim::newWorld(kW, kH, sim::formatForDepth(GetParam()));
        sim::drawImage(*world, sim::loadPng((dir_ / "in.png").string()), 1);
        return world;
    }

    void expectOutputEqualsInput() const {
        const PF_LayerDef* out = host_->outputWorld();
        ASSERT_NE(out, nullptr);
        const auto in = expectedInput();
        ASSERT_EQ(out->width, kW);
        ASSERT_EQ(out->height, kH);
        const size_t rowBytes = size_t(kW) * sim::bytesPerPixel(in->format);
        for (int y = 0; y < kH; ++y) {
            const char* a = reinterpret_cast<const char*>(out->data) + y * out->rowbytes;
            const char* b = reinterpret_cast<const char*>(in->def.data) + y * in->def.rowbytes;
            ASSERT_EQ(std::memcmp(a, b, rowBytes), 0) << "row " << y;
        }
    }

    static PF_RenderRequest request(const PF_LRect& rect) {
        PF_RenderRequest r{};
        r.rect = rect;
        r.channel_mask = 15;
        return r;
    }

    fs::path dir_;
    std::unique_ptr<sim::Host> host_;
};

TEST_P(RenderPathTest, PlainRenderCopiesTheInput) {
    ASSERT_EQ(host_->render(), PF_Err_NONE);
    expectOutputEqualsInput();
}

TEST_P(RenderPathTest, SmartRenderCopiesTheInput) {
    PF_PreRenderOutput out{};
    ASSERT_EQ(host_->smartPreRender(request({0, 0, kW, kH}), &out), PF_Err_NONE);
    ASSERT_EQ(host_->smartRender(), PF_Err_NONE);
    expectOutputEqualsInput();
}

TEST_P(RenderPathTest, PreRenderAddsTheCheckoutRectangles) {
    PF_PreRenderOutput out{};  // both rectangles empty: they become the checkout's
    ASSERT_EQ(host_->smartPreRender(request({2, 3, 20, 10}), &out), PF_Err_NONE);
    EXPECT_RECT(out.result_rect, (PF_LRect{2, 3, 20, 10}));
    EXPECT_RECT(out.max_result_rect, (PF_LRect{0, 0, kW, kH}));

    out.result_rect = PF_LRect{-10, -5, 4, 4};
    out.max_result_rect = PF_LRect{30, 20, 50, 50};
    ASSERT_EQ(host_->smartPreRender(request({2, 3, 20, 10}), &out), PF_Err_NONE);
    EXPECT_RECT(out.result_rect, (PF_LRect{-10, -5, 20, 10}));
    EXPECT_RECT(out.max_result_rect, (PF_LRect{0, 0, 50, 50}));
}

TEST_P(RenderPathTest, EmptyCheckoutKeepsOrBecomesTheOutputRectangle) {
    PF_PreRenderOutput out{};
    out.result_rect = PF_LRect{1, 2, 3, 4};
    ASSERT_EQ(host_->smartPreRender(request({5, 5, 5, 5}), &out), PF_Err_NONE);
    EXPECT_RECT(out.result_rect, (PF_LRect{1, 2, 3, 4}));

    out.result_rect = PF_LRect{0, 0, 0, 0};
    ASSERT_EQ(host_->smartPreRender(request({5, 5, 5, 5}), &out), PF_Err_NONE);
    EXPECT_RECT(out.result_rect, (PF_LRect{5, 5, 5, 5}));  // copied although empty
}

TEST_P(RenderPathTest, FailedCheckoutEndsPreRenderWithItsCodeAndTouchesNothing) {
    PF_PreRenderOutput out{};
    out.result_rect = PF_LRect{1, 2, 3, 4};
    out.max_result_rect = PF_LRect{0, 0, 0, 0};
    host_->injectFault("checkout_layer", 1, 7);
    EXPECT_EQ(host_->smartPreRender(request({0, 0, kW, kH}), &out), 7);
    EXPECT_RECT(out.result_rect, (PF_LRect{1, 2, 3, 4}));
    EXPECT_RECT(out.max_result_rect, (PF_LRect{0, 0, 0, 0}));
}

TEST_P(RenderPathTest, SmartRenderReturnsCheckoutFailuresAndCopiesNothing) {
    PF_PreRenderOutput out{};
    ASSERT_EQ(host_->smartPreRender(request({0, 0, kW, kH}), &out), PF_Err_NONE);
    host_->injectFault("checkout_layer_pixels", 1, 9);
    EXPECT_EQ(host_->smartRender(), 9);
    EXPECT_EQ(host_->callCount("copy"), 0);
    host_->clearFaults();
    host_->injectFault("checkout_output", 1, 11);
    EXPECT_EQ(host_->smartRender(), 11);
    EXPECT_EQ(host_->callCount("copy"), 0);
    EXPECT_EQ(host_->callCount("checkin_layer_pixels"), 0);
}

INSTANTIATE_TEST_SUITE_P(BitDepths, RenderPathTest, ::testing::Values(8, 16, 32),
                         [](const auto& info) { return std::to_string(info.param) + "bits"; });

}  // namespace
