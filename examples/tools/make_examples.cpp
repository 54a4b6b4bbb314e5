// Writes the example scenes and their pictures: the Source shapes (a heart, a word, a ring, a
// tree), the shared picture cards, and one scene file per example. The outputs are committed; run
// this only to change them:  make_examples <examples folder>
#include <cairo.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using json = nlohmann::ordered_json;

namespace {

constexpr int kCompW = 960, kCompH = 540;

struct Canvas {
    cairo_surface_t* surface;
    cairo_t* cr;
    Canvas(int w, int h)
        : surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h)),
          cr(cairo_create(surface)) {}
    ~Canvas() {
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
    void save(const fs::path& path) const {
        cairo_surface_flush(surface);
        if (cairo_surface_write_to_png(surface, path.string().c_str()) != CAIRO_STATUS_SUCCESS)
            throw std::runtime_error("cannot write " + path.string());
        std::printf("wrote %s\n", path.string().c_str());
    }
};

void rgb(cairo_t* cr, unsigned hex, double alpha = 1.0) {
    cairo_set_source_rgba(cr, (hex >> 16 & 255) / 255.0, (hex >> 8 & 255) / 255.0,
                          (hex & 255) / 255.0, alpha);
}

// ---------------------------------------------------------------- Source shapes

void heartPath(cairo_t* cr, double cx, double cy, double unit) {
    for (int i = 0; i <= 360; ++i) {
        const double t = i * M_PI / 180.0;
        const double x = 16 * std::pow(std::sin(t), 3);
        const double y =
            13 * std::cos(t) - 5 * std::cos(2 * t) - 2 * std::cos(3 * t) - std::cos(4 * t);
        cairo_line_to(cr, cx + unit * x, cy - unit * y);
    }
    cairo_close_path(cr);
}

// Opaque heart, red at the top to pink at the bottom (luminance drives the opacity).
void makeHeart(const fs::path& path) {
    Canvas c(kCompW, kCompH);
    heartPath(c.cr, kCompW / 2.0, kCompH / 2.0 - 10, 14.5);
    cairo_pattern_t* g = cairo_pattern_create_linear(0, 40, 0, 500);
    cairo_pattern_add_color_stop_rgb(g, 0, 0.55, 0.02, 0.1);
    cairo_pattern_add_color_stop_rgb(g, 1, 1.0, 0.7, 0.8);
    cairo_set_source(c.cr, g);
    cairo_fill(c.cr);
    cairo_pattern_destroy(g);
    c.save(path);
}

// The word in heavy letters, centred.
void makeWord(const fs::path& path, const std::string& word) {
    Canvas c(kCompW, kCompH);
    cairo_select_font_face(c.cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(c.cr, 100);
    cairo_text_extents_t e;
    cairo_text_extents(c.cr, word.c_str(), &e);
    const double size = 100 * 900 / e.width;
    cairo_set_font_size(c.cr, size);
    cairo_text_extents(c.cr, word.c_str(), &e);
    cairo_move_to(c.cr, (kCompW - e.width) / 2 - e.x_bearing,
                  (kCompH - e.height) / 2 - e.y_bearing);
    rgb(c.cr, 0x2a6fdb);
    cairo_show_text(c.cr, word.c_str());
    c.save(path);
}

// A ring whose alpha is full along the middle of the band and fades towards both edges
// (alpha drives the sizes).
void makeRing(const fs::path& path) {
    Canvas c(kCompW, kCompH);
    const double cx = kCompW / 2.0, cy = kCompH / 2.0, inner = 120, outer = 250;
    cairo_set_fill_rule(c.cr, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_arc(c.cr, cx, cy, outer, 0, 2 * M_PI);
    cairo_new_sub_path(c.cr);
    cairo_arc(c.cr, cx, cy, inner, 0, 2 * M_PI);
    cairo_pattern_t* g = cairo_pattern_create_radial(cx, cy, inner, cx, cy, outer);
    cairo_pattern_add_color_stop_rgba(g, 0.0, 0.1, 0.7, 0.65, 0.3);
    cairo_pattern_add_color_stop_rgba(g, 0.5, 0.1, 0.7, 0.65, 1.0);
    cairo_pattern_add_color_stop_rgba(g, 1.0, 0.1, 0.7, 0.65, 0.3);
    cairo_set_source(c.cr, g);
    cairo_fill(c.cr);
    cairo_pattern_destroy(g);
    c.save(path);
}

// The tree: a trunk, branches thinning to their tips, and a round crown on most tips, each part
// filled on its own with the current source, `grow` pixels wider all round.
void fillTree(cairo_t* cr, double grow) {
    struct Branch {
        double x0, y0, x1, y1, w0, w1, crown;
    };
    static const Branch branches[] = {
        {480, 520, 480, 250, 46, 26, 0}, {480, 380, 300, 250, 18, 8, 58},
        {480, 330, 660, 200, 16, 7, 62}, {480, 250, 380, 110, 12, 6, 52},
        {480, 250, 560, 80, 12, 5, 48},  {480, 430, 190, 390, 12, 5, 40},
        {480, 420, 760, 360, 12, 5, 44}, {300, 250, 170, 170, 8, 4, 34},
        {660, 200, 800, 150, 8, 4, 36},  {480, 250, 480, 130, 16, 10, 56}};
    for (const Branch& b : branches) {
        // A tapered limb as a quadrilateral, its ends rounded.
        const double dx = b.x1 - b.x0, dy = b.y1 - b.y0, len = std::hypot(dx, dy);
        const double nx = -dy / len, ny = dx / len;
        const double h0 = b.w0 / 2 + grow, h1 = b.w1 / 2 + grow;
        cairo_move_to(cr, b.x0 + nx * h0, b.y0 + ny * h0);
        cairo_line_to(cr, b.x1 + nx * h1, b.y1 + ny * h1);
        cairo_line_to(cr, b.x1 - nx * h1, b.y1 - ny * h1);
        cairo_line_to(cr, b.x0 - nx * h0, b.y0 - ny * h0);
        cairo_close_path(cr);
        cairo_fill(cr);
        cairo_arc(cr, b.x0, b.y0, h0, 0, 2 * M_PI);
        cairo_fill(cr);
        cairo_arc(cr, b.x1, b.y1, b.crown > 0 ? b.crown + grow : h1, 0, 2 * M_PI);
        cairo_fill(cr);
    }
}

// The tree grown by `grow`, as one shape of the colour at the given alpha.
void paintTree(cairo_t* cr, double grow, unsigned colour, double alpha) {
    cairo_push_group(cr);
    rgb(cr, colour);
    fillTree(cr, grow);
    cairo_pop_group_to_source(cr);
    cairo_paint_with_alpha(cr, alpha);
}

// A tree logo with a soft edge and a faint drop shadow (alpha below 32), as a designer's logo
// with its shadow baked in: the shadow and the faintest edge are not meant to be filled.
void makeTree(const fs::path& path) {
    Canvas c(kCompW, kCompH);
    cairo_save(c.cr);
    cairo_translate(c.cr, 7, 9);
    for (int k = 4; k >= 1; --k) {  // the shadow: four faint layers, widest first
        paintTree(c.cr, 3.0 * k, 0x1b3a2a, 0.025);
    }
    cairo_restore(c.cr);
    for (int k = 3; k >= 1; --k) {  // the soft edge
        paintTree(c.cr, 1.5 * k, 0x2d6a4f, 0.12);
    }
    cairo_pattern_t* g = cairo_pattern_create_linear(0, 60, 0, 520);
    cairo_pattern_add_color_stop_rgb(g, 0, 0.32, 0.72, 0.53);
    cairo_pattern_add_color_stop_rgb(g, 1, 0.18, 0.42, 0.31);
    cairo_set_source(c.cr, g);
    fillTree(c.cr, 0);
    cairo_pattern_destroy(g);
    c.save(path);
}

// ---------------------------------------------------------------- picture cards

struct Card {
    std::string file;
    int width, height;
};

void cardFrame(cairo_t* cr, int w, int h) {
    cairo_rectangle(cr, 3, 3, w - 6, h - 6);
    rgb(cr, 0xffffff, 0.9);
    cairo_set_line_width(cr, 6);
    cairo_stroke(cr);
}

void makeStripes(const fs::path& path, int w, int h) {
    Canvas c(w, h);
    const unsigned colours[] = {0xf94144, 0xf8961e, 0xf9c74f, 0x90be6d, 0x43aa8b, 0x577590};
    for (int i = 0; i < 6; ++i) {
        cairo_rectangle(c.cr, i * w / 6.0, 0, w / 6.0 + 1, h);
        rgb(c.cr, colours[i]);
        cairo_fill(c.cr);
    }
    cardFrame(c.cr, w, h);
    c.save(path);
}

void makeDots(const fs::path& path, int w, int h) {
    Canvas c(w, h);
    rgb(c.cr, 0x264653);
    cairo_paint(c.cr);
    rgb(c.cr, 0xe9c46a);
    for (int y = 12; y < h; y += 24)
        for (int x = 12 + (y / 24 % 2) * 12; x < w; x += 24) {
            cairo_arc(c.cr, x, y, 7, 0, 2 * M_PI);
            cairo_fill(c.cr);
        }
    cardFrame(c.cr, w, h);
    c.save(path);
}

void makeSunset(const fs::path& path, int w, int h) {
    Canvas c(w, h);
    cairo_pattern_t* g = cairo_pattern_create_linear(0, 0, 0, h);
    cairo_pattern_add_color_stop_rgb(g, 0, 0.2, 0.1, 0.45);
    cairo_pattern_add_color_stop_rgb(g, 0.7, 1.0, 0.45, 0.3);
    cairo_pattern_add_color_stop_rgb(g, 1, 1.0, 0.8, 0.4);
    cairo_set_source(c.cr, g);
    cairo_paint(c.cr);
    cairo_pattern_destroy(g);
    rgb(c.cr, 0xffe066);
    cairo_arc(c.cr, w / 2.0, h * 0.72, h * 0.22, M_PI, 2 * M_PI);
    cairo_fill(c.cr);
    cardFrame(c.cr, w, h);
    c.save(path);
}

void makeChecker(const fs::path& path, int w, int h) {
    Canvas c(w, h);
    for (int y = 0; y < h; y += 20)
        for (int x = 0; x < w; x += 20) {
            rgb(c.cr, (x / 20 + y / 20) % 2 ? 0xff006e : 0xfb5607);
            cairo_rectangle(c.cr, x, y, 20, 20);
            cairo_fill(c.cr);
        }
    cardFrame(c.cr, w, h);
    c.save(path);
}

std::vector<Card> makeCards(const fs::path& dir) {
    fs::create_directories(dir);
    makeStripes(dir / "stripes.png", 120, 120);
    makeDots(dir / "dots.png", 120, 120);
    makeSunset(dir / "sunset.png", 160, 100);
    makeChecker(dir / "checker.png", 100, 160);
    return {{"../cards/stripes.png", 120, 120},
            {"../cards/dots.png", 120, 120},
            {"../cards/sunset.png", 160, 100},
            {"../cards/checker.png", 100, 160}};
}

// ---------------------------------------------------------------- scenes

std::string hexColour(unsigned c) {
    char s[8];
    std::snprintf(s, sizeof s, "#%06x", c & 0xffffff);
    return s;
}

json transform(double w, double h, double x, double y) {
    return {{"anchorPoint", {w / 2, h / 2}},
            {"position", {x, y}},
            {"scale", {100, 100}},
            {"rotation", 0},
            {"opacity", 100}};
}

// Collage layers: colourful solids of three proportions with a card every sixth layer. The
// first layer is a square solid, so Grid cells come out square.
json collageLayers(int count, const std::vector<Card>& cards, unsigned seed) {
    static const unsigned palette[] = {0xe63946, 0xf4a261, 0xe9c46a, 0x2a9d8f, 0x264653,
                                       0x8ecae6, 0x219ebc, 0xffb703, 0xfb8500, 0x9b5de5,
                                       0xf15bb5, 0x00bbf9, 0x00f5d4, 0x80ed99};
    static const std::array<std::array<int, 2>, 3> sizes{{{100, 100}, {150, 100}, {100, 150}}};
    std::mt19937 gen(seed);
    std::uniform_int_distribution<int> x(40, kCompW - 40), y(40, kCompH - 40);
    json layers = json::array();
    for (int i = 0; i < count; ++i) {
        json l;
        if (i % 6 == 5) {
            const Card& card = cards[(i / 6) % cards.size()];
            l = {{"name", "Card " + std::to_string(i + 1)},
                 {"type", "footage"},
                 {"size", {card.width, card.height}},
                 {"image", card.file}};
            l["transform"] = transform(card.width, card.height, x(gen), y(gen));
        } else {
            const auto& s = i == 0 ? sizes[0] : sizes[gen() % sizes.size()];
            l = {{"name", "Solid " + std::to_string(i + 1)},
                 {"type", "solid"},
                 {"size", {s[0], s[1]}},
                 {"fill", hexColour(palette[gen() % std::size(palette)])}};
            l["transform"] = transform(s[0], s[1], x(gen), y(gen));
        }
        layers.push_back(l);
    }
    return layers;
}

json comp(double duration, double workAreaEnd) {
    return {{"width", kCompW},      {"height", kCompH}, {"frameRate", 25},
            {"duration", duration}, {"time", 0},        {"workArea", {0, workAreaEnd}},
            {"pixelAspect", 1},     {"resolution", 1},  {"bitDepth", 8}};
}

// The Source layer at the bottom of the composition carries the effect.
json sourceLayer(const std::string& name, const std::string& image, const json& params) {
    json l = {{"name", name}, {"type", "footage"}, {"size", {kCompW, kCompH}}, {"image", image}};
    l["transform"] = transform(kCompW, kCompH, kCompW / 2.0, kCompH / 2.0);
    json effectParams = {{"Source Layer", name}};
    for (const auto& [k, v] : params.items()) effectParams[k] = v;
    l["effects"] = json::array({{{"name", "Tessaron (Pro)"}, {"params", effectParams}}});
    return l;
}

// One layer a line, so that a scene reads and diffs well.
void writeScene(const fs::path& path, const json& compJson, json layers, const json& source) {
    layers.push_back(source);
    std::ofstream out(path);
    out << "{\n  \"comp\": " << compJson.dump() << ",\n  \"layers\": [\n";
    for (size_t i = 0; i < layers.size(); ++i)
        out << "    " << layers[i].dump() << (i + 1 < layers.size() ? ",\n" : "\n");
    out << "  ],\n  \"actions\": [\"create\"]\n}\n";
    if (!out) throw std::runtime_error("cannot write " + path.string());
    std::printf("wrote %s\n", path.string().c_str());
}

// A Seed keyed from `first` at 0 s to first + 100 at `seconds`: every evaluated frame gets its own
// Seed, so the collage changes from frame to frame and a press repeats the same animation.
json seedRamp(int first, double seconds) {
    return json::array(
        {{{"time", 0.0}, {"value", first}}, {{"time", seconds}, {"value", first + 100}}});
}

// Grid in a heart: the cells are filled by From Neighborhood, and the layers swap places at
// every evaluated frame of the work area.
void heartScene(const fs::path& dir, const std::vector<Card>& cards) {
    fs::create_directories(dir);
    makeHeart(dir / "heart.png");
    const json params = {
        {"Position", "Grid"},      {"Scale", "From Neighborhood"},
        {"Rotation", "Random"},    {"Min Rotation", -8},
        {"Max Rotation", 8},       {"Opacity", "From Luminance"},
        {"Min Opacity", 55},       {"Max Opacity", 100},
        {"Layer Order", "Random"}, {"Frames to Render", "Every X Frames (within work area)"},
        {"Interval (frames)", 12}, {"Temporal Interpolation", "Ease In and Out"},
        {"Random Seed", false},    {"Seed", seedRamp(3, 2)}};
    writeScene(dir / "heart.json", comp(2, 2), collageLayers(60, cards, 11),
               sourceLayer("Heart", "heart.png", params));
}

// Organic over a word: sizes from the neighbourhood, layers matched to the nearest sites, keys
// staggered from left to right.
void wordScene(const fs::path& dir, const std::vector<Card>& cards) {
    fs::create_directories(dir);
    makeWord(dir / "word.png", "TESSARON");
    const json params = {{"Position", "Organic"},
                         {"Scale", "From Neighborhood"},
                         {"Rotation", "Ignore"},
                         {"Opacity", "Ignore"},
                         {"Rescale Factor", 95},
                         {"Layer Order", "Minimum Assignment"},
                         {"Frames to Render", "Every X Frames (within work area)"},
                         {"Interval (frames)", 10},
                         {"Temporal Interpolation", "Punchy Out"},
                         {"Offset (frames)", 3},
                         {"Offset Method", "From Left to Right"},
                         {"Random Seed", false},
                         {"Seed", seedRamp(8, 3)}};
    writeScene(dir / "word.json", comp(3, 2), collageLayers(90, cards, 23),
               sourceLayer("Word", "word.png", params));
}

// Radial rings in a ring: the layers turn towards the centre; sizes follow the band's alpha;
// the Source layer's markers choose the frames.
void ringScene(const fs::path& dir, const std::vector<Card>& cards) {
    fs::create_directories(dir);
    makeRing(dir / "ring.png");
    const json params = {{"Position", "Radial"},
                         {"Scale", "From Alpha"},
                         {"Min Size (px)", 25},
                         {"Max Size (px)", 70},
                         {"Rotation", "Orient Towards Center"},
                         {"Opacity", "Random"},
                         {"Min Opacity", 70},
                         {"Max Opacity", 100},
                         {"Layer Order", "By Distance from Image Center"},
                         {"Frames to Render", "From Layer Markers"},
                         {"Temporal Interpolation", "Ease In and Out"},
                         {"Spatial Interpolation", "Outer Half Circle"},
                         {"Random Seed", false},
                         {"Seed", seedRamp(5, 2)}};
    json source = sourceLayer("Ring", "ring.png", params);
    source["markers"] = {0.0, 0.8, 1.6};
    writeScene(dir / "ring.json", comp(2, 2), collageLayers(48, cards, 37), source);
}

// Organic over a tree with thin branches and a baked-in shadow: the Shape controls keep the
// layers on the tree (not on its shadow or its faint edge) and stop the layers at the ends of
// the branches from growing into the sky.
void treeScene(const fs::path& dir, const std::vector<Card>& cards) {
    fs::create_directories(dir);
    makeTree(dir / "tree.png");
    const json params = {{"Position", "Organic"},
                         {"Scale", "From Neighborhood"},
                         {"Rotation", "Random"},
                         {"Min Rotation", -10},
                         {"Max Rotation", 10},
                         {"Opacity", "Ignore"},
                         {"Layer Order", "Minimum Assignment"},
                         {"Frames to Render", "Every X Frames (within work area)"},
                         {"Interval (frames)", 12},
                         {"Temporal Interpolation", "Ease In and Out"},
                         {"Random Seed", false},
                         {"Seed", seedRamp(4, 2)},
                         {"Alpha Threshold", 32},
                         {"Keep Inside Shape", true},
                         {"Overhang (%)", 10}};
    writeScene(dir / "tree.json", comp(2, 2), collageLayers(80, cards, 41),
               sourceLayer("Tree", "tree.png", params));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_examples <examples folder>\n");
        return 2;
    }
    const fs::path root = argv[1];
    const std::vector<Card> cards = makeCards(root / "cards");
    heartScene(root / "heart", cards);
    wordScene(root / "word", cards);
    ringScene(root / "ring", cards);
    treeScene(root / "tree", cards);
    return 0;
}
