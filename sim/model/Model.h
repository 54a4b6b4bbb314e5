#pragma once
// The simulated host's in-memory project: one composition with its layers, their transform
// streams, keys, markers, effects and source pixels. Plain values, so an undo snapshot is a copy.
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace sim {

struct Time {
    int32_t value = 0;
    uint32_t scale = 1;
    double seconds() const { return scale ? double(value) / double(scale) : 0.0; }
    static Time fromSeconds(double s, uint32_t scale = 100000);
};

// Exact comparisons of host times whose scales may differ.
bool sameTime(const Time& a, const Time& b);
bool earlier(const Time& a, const Time& b);

enum class Interp { Linear = 1, Bezier = 2, Hold = 3 };  // host values

struct Ease {
    double speed = 0.0;
    double influence = 16.666666667;
};

using Vec3 = std::array<double, 3>;

// What a key seldom changes from its defaults. A run writes millions of keys, mostly alike
// within a property, so a property keeps each distinct style once and its keys an index.
struct KeyStyle {
    Vec3 inTangent{0, 0, 0};  // spatial, Position only
    Vec3 outTangent{0, 0, 0};
    std::vector<Ease> inEase, outEase;  // one per temporal dimension
    Interp inInterp = Interp::Linear;
    Interp outInterp = Interp::Linear;
};

// Bit for bit, so that styles differing only in the sign of a zero stay apart.
bool sameStyle(const KeyStyle& a, const KeyStyle& b);

// A key as a property hands it out: a copy of its time and value, and its style.
struct Key {
    Time time;
    Vec3 value{0, 0, 0};

    const KeyStyle& style() const;  // the defaults without eases when none was set
    KeyStyle& edit();               // this copy's own style, to change
    bool sharesStyleWith(const Key& other) const { return style_ == other.style_; }

  private:
    friend class KeyList;
    std::shared_ptr<const KeyStyle> style_;
};

class KeyList;

// A key of a property to read or restyle in place: changes made through edit() reach the
// property when this goes (at the end of the statement for s.keys[i].edit().x = ...).
class KeyRef {
  public:
    KeyRef(KeyList& list, size_t index);
    KeyRef(const KeyRef&) = delete;
    KeyRef& operator=(const KeyRef&) = delete;
    ~KeyRef();
    const Time time;
    const Vec3 value;
    const KeyStyle& style() const;
    KeyStyle& edit();
    bool sharesStyleWith(const Key& other) const { return Key(*this).sharesStyleWith(other); }
    operator Key() const;

  private:
    KeyList& list_;
    size_t index_;
    std::unique_ptr<KeyStyle> edited_;
};

// A property's keys in time order, stored compactly: time values on one time scale (a key on
// another scale keeps its own), one value component while every value's others are zero (as a
// one-dimensional property's are) else three, and an index into the property's table of
// distinct styles, each counted by its keys.
class KeyList {
  public:
    size_t size() const { return times_.size(); }
    bool empty() const { return times_.empty(); }
    Time time(size_t i) const { return {times_[i], scales_.empty() ? scale_ : scales_[i]}; }
    double seconds(size_t i) const { return time(i).seconds(); }
    Vec3 value(size_t i) const;
    const KeyStyle& style(size_t i) const;
    uint32_t styleId(size_t i) const { return styleIds_[i]; }  // equal ids: equal styles
    Key operator[](size_t i) const;
    KeyRef operator[](size_t i) { return KeyRef(*this, i); }
    Key at(size_t i) const;
    Key front() const { return at(0); }
    Key back() const { return at(size() - 1); }

    void reserve(size_t n);
    void setValue(size_t i, const Vec3& v);
    void setStyle(size_t i, const KeyStyle& style);
    void insert(size_t i, const Time& t, const Vec3& v, const KeyStyle& style);
    void push_back(const Key& key) { insert(size(), key.time, key.value, key.style()); }
    void erase(size_t i);
    void clear() { *this = KeyList(); }

    class const_iterator {
      public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = Key;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = Key;
        const_iterator(const KeyList* list, size_t i) : list_(list), i_(i) {}
        Key operator*() const { return (*list_)[i_]; }
        const_iterator& operator++() { return ++i_, *this; }
        bool operator!=(const const_iterator& o) const { return i_ != o.i_; }
        bool operator==(const const_iterator& o) const { return i_ == o.i_; }

      private:
        const KeyList* list_;
        size_t i_;
    };
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }

  private:
    void fit(const Vec3& v);                    // three components from now on when v needs them
    uint32_t styleIdOf(const KeyStyle& style);  // an entry of the table, counted once more
    void release(uint32_t id);

    std::vector<int32_t> times_;
    uint32_t scale_ = 0;            // the time scale of every key, while they share one
    std::vector<uint32_t> scales_;  // each key's, once they do not
    int width_ = 1;
    std::vector<double> values_;  // width_ per key
    std::vector<uint32_t> styleIds_;
    // The table: each style (shared with the keys handed out), how many keys use it, the
    // entries free for reuse, and the entries by a hash of their bits.
    std::vector<std::shared_ptr<const KeyStyle>> styles_;
    std::vector<uint32_t> uses_;
    std::vector<uint32_t> free_;
    std::unordered_multimap<uint64_t, uint32_t> byHash_;
};

// A property: a static value or keys sorted by time.
struct Stream {
    std::string name;       // "Position", "Scale", "Min Size (px)" ...
    std::string matchName;  // "ADBE Position", "ADBE Scale", ...
    int dims = 1;           // value dimensions (1, 2 or 3)
    int easeDims = 1;       // temporal ease dimensions (Scale: 3, others 1)
    bool spatial = false;   // Position
    Vec3 value{0, 0, 0};    // the value when there are no keys
    KeyList keys;

    Vec3 valueAt(double seconds) const;        // interpolated, see Model.cpp
    int keyIndexAt(const Time& t) const;       // index of a key at exactly that time, or -1
    int addKey(const Time& t, const Vec3& v);  // inserts in time order or replaces; returns index
    // The key style a new key takes: linear, with a default ease per temporal dimension.
    KeyStyle newKeyStyle() const;
};

enum class LayerType { Footage, Solid, Text, Shape, Null, Camera, Light };

// Host object types (AEGP_ObjectType).
int objectTypeOf(LayerType t);

struct Image {  // straight RGBA, 8 bits per channel, row-major from the top-left
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;
};

struct ParamValue {                               // one effect parameter as the host stores it
    double value = 0.0;                           // static value (popup item, checkbox 0/1, ...)
    std::vector<std::pair<double, double>> keys;  // (seconds, value), sorted
    // Sliders and angles move linearly between keys; popups, checkboxes and layers hold.
    bool interpolates = false;
    double at(double seconds) const;
};

struct EffectInstance {
    std::string name;                  // "Tessaron (Pro)"
    std::map<int, ParamValue> params;  // by parameter index (1-based, 0 = input layer)
};

struct Layer {
    int32_t id = 0;  // unique, never 0
    std::string name;
    LayerType type = LayerType::Solid;
    bool video = true, locked = false, guide = false, adjustment = false, null = false;
    bool threeD = false, motionBlur = false, videoReallyOn = true, audioOnly = false;
    int width = 0, height = 0;  // source item size (0 x 0: no visual source)
    // Masked bounds reported at every time when set (not all zero): a project built in code
    // states them outright; scenes leave them unset and get what the layer draws in its mask.
    std::array<double, 4> maskedBounds{0, 0, 0, 0};  // left, top, right, bottom (layer space)
    // A rectangular mask, left, top, right, bottom in layer space: the layer shows only inside.
    std::optional<std::array<double, 4>> mask;
    std::array<uint8_t, 4> fill{255, 255, 255, 255};     // solid colour RGBA
    std::string imagePath;                               // footage
    std::vector<std::pair<double, std::string>> frames;  // (seconds, image path) sequence
    std::vector<std::pair<int, int>> frameSizes;         // each frame's picture, width x height
    // Layer time: composition time = startTime + layer time x stretch / 100 (a negative stretch
    // plays the layer backwards). The layer shows from inPoint up to outPoint (composition time).
    Time startTime{0, 1};
    Time inPoint{0, 1};
    Time outPoint{INT32_MAX, 1};
    int32_t stretchNum = 1;  // stretch / 100 as an exact ratio
    int32_t stretchDen = 1;
    std::vector<Time> markers;  // in time order (sortMarkers), as the host's marker stream
    std::vector<EffectInstance> effects;
    Stream anchorPoint, position, scale, rotation, opacity;
    int32_t parent = 0;  // the parent layer's id; 0: none (transforms are then the composition's)

    Layer();                // names, match names and dimensions of the five transform streams set
    int32_t flags() const;  // AEGP_LayerFlags
    Stream* stream(int which);  // AEGP_LayerStream 0..4, nullptr otherwise
};

struct Comp {
    std::string name = "Comp 1";
    int32_t itemId = 1;  // the project item's id (AEGP_GetItemID, app.project.itemByID)
    int width = 1920, height = 1080;
    Time frameDuration{1, 25};
    Time currentTime{0, 25};
    Time workAreaStart{0, 25};
    Time workAreaDuration{100, 25};
    Time duration{100, 25};
    int32_t pixelAspectNum = 1;
    uint32_t pixelAspectDen = 1;
    int downsample = 1;         // 1 full, 2 half, 3 third, 4 quarter
    int bitDepth = 8;           // 8, 16 or 32 bits per channel
    std::vector<Layer> layers;  // composition order: index 0 is the host's layer 1
};

struct Project {
    Comp comp;
    std::string baseDir;  // images are read relative to this folder
    // The composition is the active item (scripts' app.project.activeItem), else none is.
    bool compActive = true;
};

// Puts markers in time order; markers at one time keep their order.
void sortMarkers(std::vector<Time>& markers);

// The 4x4 matrix of a 2-D layer's own transform at a time (row vectors, translation in row 3):
// from its layer space to its parent's space, the composition's when it has no parent.
std::array<std::array<double, 4>, 4> layerToWorld(const Layer& layer, double seconds);

// The layer-to-world matrix through the whole parent chain: the layer's own transform followed
// by each parent's, up to the composition.
std::array<std::array<double, 4>, 4> layerToWorld(const Comp& comp, const Layer& layer,
                                                  double seconds);

}  // namespace sim
