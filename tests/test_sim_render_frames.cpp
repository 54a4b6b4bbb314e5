// The composition pictures: layers land where their transforms put them, with their opacity,
// in composition order; the contact sheet holds one thumbnail per frame.
#include <cairo.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>

#include "sim/picture/Render.h"

namespace fs = std::filesystem;

namespace {

struct Rgba {
    int r, g, b, a;
};

class Png {
  public:
    explicit Png(const std::string& path)
        : surface_(cairo_image_surface_create_from_png(path.c_str())) {}
    ~Png() { cairo_surface_destroy(surface_); }
    Png(const Png&) = delete;
    Png& operator=(const Png&) = delete;
    bool ok() const { return cairo_surface_status(surface_) == CAIRO_STATUS_SUCCESS; }
    int width() const { return cairo_image_surface_get_width(surface_); }
    int height() const { return cairo_image_surface_get_height(surface_); }
    Rgba at(int x, int y) const {  // premultiplied, as cairo keeps it
        const uint8_t* row =
            cairo_image_surface_get_data(surface_) + y * cairo_image_surface_get_stride(surface_);
        const uint32_t p = reinterpret_cast<const uint32_t*>(row)[x];
        return {int(p >> 16 & 255), int(p >> 8 & 255), int(p & 255), int(p >> 24)};
    }

  private:
    cairo_surface_t* surface_;
};

void writeSolidPng(const std::string& path, double r, double g, double b) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 4, 4);
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgb(cr, r, g, b);
    cairo_paint(cr);
    cairo_destroy(cr);
    ASSERT_EQ(cairo_surface_write_to_png(s, path.c_str()), CAIRO_STATUS_SUCCESS);
    cairo_surface_destroy(s);
}

sim::Layer solid(int id, int w, int h, std::array<uint8_t, 4> fill) {
    sim::Layer l;
    l.id = id;
    l.name = "Solid " + std::to_string(id);
    l.type = sim::LayerType::Solid;
    l.width = w;
    l.height = h;
    l.fill = fill;
    l.anchorPoint.value = {0, 0, 0};
    l.position.value = {0, 0, 0};
    l.scale.value = {100, 100, 100};
    l.rotation.value = {0, 0, 0};
    l.opacity.value = {100, 0, 0};
    return l;
}

const std::array<uint8_t, 4> kRed{255, 0, 0, 255}, kBlue{0, 0, 255, 255};

class RenderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("tessaron_render_" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        project_.comp.width = 100;
        project_.comp.height = 80;
        project_.baseDir = dir_.string();
        options_.background = {0, 0, 0, 0};
    }
    void TearDown() override { fs::remove_all(dir_); }

    Png render(double seconds = 0.0, int sourceId = 0) {
        const std::string path = (dir_ / "frame.png").string();
        sim::renderFrame(project_, seconds, path, options_, sourceId);
        return Png(path);
    }

    fs::path dir_;
    sim::Project project_;
    sim::RenderOptions options_;
};

TEST_F(RenderTest, SolidLandsWhereItsTransformPutsIt) {
    sim::Layer l = solid(1, 20, 10, kRed);
    l.anchorPoint.value = {10, 5, 0};
    l.position.value = {50, 30, 0};
    project_.comp.layers = {l};
    Png png = render();
    ASSERT_TRUE(png.ok());
    EXPECT_EQ(png.width(), 100);
    EXPECT_EQ(png.height(), 80);
    // Covers x 40..60, y 25..35.
    EXPECT_EQ(png.at(41, 26).r, 255);
    EXPECT_EQ(png.at(41, 26).a, 255);
    EXPECT_EQ(png.at(58, 34).a, 255);
    EXPECT_EQ(png.at(38, 30).a, 0);
    EXPECT_EQ(png.at(61, 30).a, 0);
    EXPECT_EQ(png.at(50, 23).a, 0);
    EXPECT_EQ(png.at(50, 36).a, 0);
}

TEST_F(RenderTest, ScaleAndClockwiseRotationApply) {
    sim::Layer l = solid(1, 20, 10, kRed);
    l.position.value = {50, 30, 0};
    l.scale.value = {200, 100, 100};
    l.rotation.value = {90, 0, 0};
    project_.comp.layers = {l};
    Png png = render();
    // 40 x 10 turned clockwise about its top-left corner: x 40..50, y 30..70.
    EXPECT_EQ(png.at(45, 68).a, 255);
    EXPECT_EQ(png.at(41, 31).a, 255);
    EXPECT_EQ(png.at(52, 50).a, 0);
    EXPECT_EQ(png.at(45, 28).a, 0);
    EXPECT_EQ(png.at(45, 72).a, 0);
}

TEST_F(RenderTest, AnimatedPositionIsReadAtTheTime) {
    sim::Layer l = solid(1, 10, 10, kRed);
    l.position.addKey(sim::Time{0, 25}, {0, 0, 0});
    l.position.addKey(sim::Time{25, 25}, {80, 60, 0});
    project_.comp.layers = {l};
    Png png = render(1.0);
    EXPECT_EQ(png.at(85, 65).a, 255);
    EXPECT_EQ(png.at(5, 5).a, 0);
}

TEST_F(RenderTest, OpacityScalesAlpha) {
    sim::Layer l = solid(1, 100, 80, kRed);
    l.opacity.value = {50, 0, 0};
    project_.comp.layers = {l};
    Png png = render();
    EXPECT_NEAR(png.at(50, 40).a, 128, 1);
    EXPECT_NEAR(png.at(50, 40).r, 128, 1);  // premultiplied
}

TEST_F(RenderTest, LayerOneIsOnTop) {
    project_.comp.layers = {solid(1, 100, 80, kBlue), solid(2, 100, 80, kRed)};
    Png png = render();
    EXPECT_EQ(png.at(50, 40).b, 255);
    EXPECT_EQ(png.at(50, 40).r, 0);
}

TEST_F(RenderTest, HiddenGuideNullAndCameraLayersAreNotDrawn) {
    sim::Layer hidden = solid(1, 100, 80, kRed);
    hidden.video = false;
    sim::Layer guide = solid(2, 100, 80, kRed);
    guide.guide = true;
    sim::Layer null = solid(3, 100, 80, kRed);
    null.type = sim::LayerType::Null;
    null.null = true;
    sim::Layer camera = solid(4, 100, 80, kRed);
    camera.type = sim::LayerType::Camera;
    project_.comp.layers = {hidden, guide, null, camera};
    EXPECT_EQ(render().at(50, 40).a, 0);
}

TEST_F(RenderTest, SourceLayerIsFaintAndUnderneath) {
    sim::Layer card = solid(1, 50, 80, kBlue);
    sim::Layer source = solid(7, 100, 80, kRed);
    project_.comp.layers = {source, card};  // the Source is layer 1 yet goes underneath
    Png png = render(0.0, 7);
    EXPECT_EQ(png.at(20, 40).b, 255);
    EXPECT_NEAR(png.at(80, 40).a, 64, 1);
    options_.sourceFaint = false;
    EXPECT_EQ(render(0.0, 7).at(80, 40).a, 0);
}

TEST_F(RenderTest, FootageAndFrameListsShowTheirImages) {
    writeSolidPng((dir_ / "green.png").string(), 0, 1, 0);
    writeSolidPng((dir_ / "blue.png").string(), 0, 0, 1);
    sim::Layer still = solid(1, 50, 80, kRed);
    still.type = sim::LayerType::Footage;
    still.imagePath = "green.png";  // 4 x 4 stretched to the layer's size
    sim::Layer seq = solid(2, 50, 80, kRed);
    seq.type = sim::LayerType::Footage;
    seq.position.value = {50, 0, 0};
    seq.frames = {{0.0, "green.png"}, {1.0, "blue.png"}};
    project_.comp.layers = {still, seq};
    Png early = render(0.5);
    EXPECT_EQ(early.at(45, 75).g, 255);
    EXPECT_EQ(early.at(75, 40).g, 255);
    EXPECT_EQ(render(1.0).at(75, 40).b, 255);
    // A JPEG stored turned, drawn upright (its EXIF orientation is 8).
    sim::Layer photo = solid(3, 32, 16, kRed);
    photo.type = sim::LayerType::Footage;
    photo.imagePath = TESSARON_SOURCE_DIR "/tests/scenes/jpeg/orient8.jpg";
    project_.comp.layers = {photo};
    Png upright = render();
    EXPECT_GT(upright.at(4, 4).r, 240);
    EXPECT_GT(upright.at(27, 4).g, 240);
    EXPECT_GT(upright.at(4, 11).b, 240);
    EXPECT_LT(upright.at(27, 4).r, 16);
}

TEST_F(RenderTest, PositionPathFollowsTheSpatialTangents) {
    sim::Layer l = solid(1, 2, 2, kRed);
    const int a = l.position.addKey(sim::Time{0, 25}, {10, 40, 0});
    l.position.keys[a].edit().outTangent = {0, -40, 0};
    const int b = l.position.addKey(sim::Time{25, 25}, {90, 40, 0});
    l.position.keys[b].edit().inTangent = {0, -40, 0};
    project_.comp.layers = {l};
    options_.paths = true;
    Png png = render();
    // The curve's midpoint is (p0 + 3 c1 + 3 c2 + p3) / 8 = (50, 10); the chord stays empty.
    EXPECT_GT(png.at(50, 10).a, 100);
    EXPECT_EQ(png.at(50, 40).a, 0);
    options_.paths = false;
    EXPECT_EQ(render().at(50, 10).a, 0);
}

// A path is a line with a dot at each key, never a filled shape: the dots of a closed path
// (a triangle here) must not join into one area.
TEST_F(RenderTest, PositionPathIsALineWithDots) {
    sim::Layer l = solid(1, 2, 2, kRed);
    l.opacity.value = {0, 0, 0};
    const double corners[4][2] = {{10, 10}, {90, 10}, {50, 70}, {10, 10}};
    for (int i = 0; i < 4; ++i)
        l.position.addKey(sim::Time{i * 5, 25}, {corners[i][0], corners[i][1], 0});
    project_.comp.layers = {l};
    options_.paths = true;
    Png png = render();
    long painted = 0, inside = 0;
    for (int y = 0; y < png.height(); ++y) {
        for (int x = 0; x < png.width(); ++x) {
            if (png.at(x, y).a == 0) continue;
            ++painted;
            // Well inside the triangle: 4 px below the top side, 6 px within the slanted ones.
            inside += y > 14 && std::abs(x - 50.0) < 40.0 * (70 - y) / 60.0 - 6.0;
        }
    }
    EXPECT_EQ(inside, 0);
    EXPECT_GT(painted, 150);  // the three sides
    EXPECT_LT(painted, 800);  // the filled triangle is 2400
    EXPECT_GT(png.at(50, 10).a, 100);
    EXPECT_EQ(png.at(50, 30).a, 0);
}

TEST_F(RenderTest, PreviewsWriteOneFramePerTimeAndAContactSheet) {
    project_.comp.layers = {solid(1, 100, 80, kRed)};
    // 0.48 and 0.49 s are both frame 12: one picture.
    sim::renderPreviews(project_, {1.0, 0.0, 0.49, 0.48}, dir_.string(), options_, 0);
    EXPECT_TRUE(fs::exists(dir_ / "frame_0000.png"));
    EXPECT_TRUE(fs::exists(dir_ / "frame_0012.png"));
    EXPECT_TRUE(fs::exists(dir_ / "frame_0025.png"));
    Png sheet((dir_ / "preview.png").string());
    ASSERT_TRUE(sheet.ok());
    // Three 100 x 80 thumbnails in a row with 8 px gaps and a 20 px label strip.
    EXPECT_EQ(sheet.width(), 8 + 3 * (100 + 8));
    EXPECT_EQ(sheet.height(), 8 + 80 + 20 + 8);
    EXPECT_EQ(sheet.at(8 + 108 + 50, 8 + 40).r, 255);
}

TEST_F(RenderTest, LongRunsGetEveryFrameButASheetOfSensibleSize) {
    project_.comp.layers = {solid(1, 100, 80, kRed)};
    std::vector<double> times;
    for (int f = 0; f < 100; ++f) times.push_back(f * 0.04);
    sim::renderPreviews(project_, times, dir_.string(), options_, 0);
    EXPECT_TRUE(fs::exists(dir_ / "frame_0000.png"));
    EXPECT_TRUE(fs::exists(dir_ / "frame_0099.png"));
    Png sheet((dir_ / "preview.png").string());
    ASSERT_TRUE(sheet.ok());
    const sim::SheetLayout layout = sim::contactSheetLayout(100, 80, int(sim::kMaxSheetFrames));
    EXPECT_EQ(sheet.width(), layout.width);
    EXPECT_EQ(sheet.height(), layout.height);
}

TEST(RenderLayout, ContactSheetWrapsAfterFiveColumnsAndShrinksWideComps) {
    const sim::SheetLayout l = sim::contactSheetLayout(1920, 1080, 7);
    EXPECT_EQ(l.columns, 5);
    EXPECT_EQ(l.rows, 2);
    EXPECT_EQ(l.thumbWidth, 320);
    EXPECT_EQ(l.thumbHeight, 180);
    EXPECT_EQ(l.width, 8 + 5 * 328);
    EXPECT_EQ(l.height, 8 + 2 * (180 + 28));
    EXPECT_EQ(sim::contactSheetLayout(100, 80, 0).columns, 1);
}

TEST(RenderLayout, WorkAreaTimesAreEvenlySpacedFrames) {
    sim::Comp comp;  // 25 fps, work area frames 0..99
    comp.workAreaStart = sim::Time{10, 25};
    comp.workAreaDuration = sim::Time{11, 25};
    const std::vector<double> t = sim::workAreaTimes(comp, 3);
    ASSERT_EQ(t.size(), 3u);
    EXPECT_DOUBLE_EQ(t[0], 10 / 25.0);
    EXPECT_DOUBLE_EQ(t[1], 15 / 25.0);
    EXPECT_DOUBLE_EQ(t[2], 20 / 25.0);
    EXPECT_EQ(sim::workAreaTimes(comp, 1), std::vector<double>{0.4});
    comp.workAreaDuration = sim::Time{2, 25};
    EXPECT_EQ(sim::workAreaTimes(comp, 5).size(), 2u);  // no repeated frames
}

}  // namespace
