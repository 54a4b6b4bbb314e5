#include "sim/scene/SceneReader.h"

#include <cmath>
#include <cstdio>

#include "sim/model/CompTime.h"
#include "sim/model/MessageText.h"
#include "sim/scene/Scene.h"

namespace sim::scene {

std::string member(const std::string& parent, const std::string& key) {
    const std::string name = excerpt(key, 80);  // keys are the user's text too
    return parent.empty() ? name : parent + "." + name;
}

std::string item(const std::string& parent, size_t index) {
    return parent + "[" + std::to_string(index) + "]";
}

std::string shortNumber(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

std::string describe(const Json& value) {
    std::string text = value.dump();
    if (text.size() > 40) text = text.substr(0, 37) + "...";
    return std::string(value.type_name()) + " " + text;
}

void Reader::fail(const std::string& field, const std::string& what) const {
    throw SceneError(oneLine(file_ + ": " + field + ": " + what));
}

void Reader::expected(const Json& value, const std::string& field, const std::string& what) const {
    fail(field, "expected " + what + ", got " + describe(value));
}

const Json* Reader::find(const Json& object, const std::string& key) const {
    auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

const Json& Reader::require(const Json& object, const std::string& parent,
                            const std::string& key) const {
    const Json* value = find(object, key);
    if (!value) fail(member(parent, key), "missing");
    return *value;
}

const Json& Reader::object(const Json& value, const std::string& field) const {
    if (!value.is_object()) expected(value, field, "an object");
    return value;
}

const Json& Reader::objectOf(const Json& value, const std::string& field,
                             std::initializer_list<const char*> known) const {
    object(value, field);
    for (const auto& entry : value.items()) {
        bool listed = false;
        for (const char* name : known) listed = listed || entry.key() == name;
        if (listed) continue;
        std::string names;
        for (const char* name : known) names += std::string(names.empty() ? "" : ", ") + name;
        fail(member(field, entry.key()), "unknown field (expected " + names + ")");
    }
    return value;
}

const Json& Reader::array(const Json& value, const std::string& field) const {
    if (!value.is_array()) expected(value, field, "a list");
    return value;
}

double Reader::number(const Json& value, const std::string& field) const {
    if (!value.is_number()) expected(value, field, "a number");
    double v = value.get<double>();
    if (!std::isfinite(v)) expected(value, field, "a finite number");
    return v;
}

double Reader::numberIn(const Json& value, const std::string& field, double lo, double hi) const {
    double v = number(value, field);
    if (v < lo || v > hi) {
        fail(field,
             describe(value) + " out of range [" + shortNumber(lo) + ", " + shortNumber(hi) + "]");
    }
    return v;
}

int Reader::integerIn(const Json& value, const std::string& field, int lo, int hi) const {
    double v = numberIn(value, field, lo, hi);
    if (v != std::floor(v)) expected(value, field, "a whole number");
    return int(v);
}

bool Reader::boolean(const Json& value, const std::string& field) const {
    if (!value.is_boolean()) expected(value, field, "true or false");
    return value.get<bool>();
}

const std::string& Reader::string(const Json& value, const std::string& field) const {
    if (!value.is_string()) expected(value, field, "a string");
    return value.get_ref<const std::string&>();
}

Time Reader::time(const Json& value, const std::string& field, const Comp& comp) const {
    const double seconds = number(value, field);
    const double limit = latestFrame(comp);
    const Time& frame = comp.frameDuration;
    if (std::fabs(std::round(seconds * frame.scale / frame.value)) > limit) {
        fail(field, describe(value) +
                        " s is beyond the times the host can hold at this frame rate (" +
                        shortNumber(limit * frame.value / frame.scale) + " s either way)");
    }
    return frameTime(comp, seconds);
}

Vec3 Reader::vector(const Json& value, const std::string& field, double z) const {
    if (!value.is_array() || value.size() < 2 || value.size() > 3) {
        expected(value, field, "a list of 2 or 3 numbers");
    }
    Vec3 v{0, 0, z};
    for (size_t i = 0; i < value.size(); ++i) v[i] = number(value[i], item(field, i));
    return v;
}

}  // namespace sim::scene
