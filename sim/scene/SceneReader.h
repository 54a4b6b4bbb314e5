#pragma once
// Checked reading of scene JSON: every failure is one line naming the file and the field.
#include <initializer_list>
#include <string>

#include <nlohmann/json.hpp>

#include "sim/model/Model.h"

namespace sim::scene {

using Json = nlohmann::ordered_json;

std::string member(const std::string& parent, const std::string& key);  // "parent.key"
std::string item(const std::string& parent, size_t index);              // "parent[index]"
std::string describe(const Json& value);  // for messages: string "abc", number 3, ...
std::string shortNumber(double v);        // %g, for messages

// Containers nested deeper than this are refused before anything walks the document.
constexpr int kMaxDepth = 64;

// Parses scene JSON; a syntax error, a number that does not fit a double or nesting deeper than
// kMaxDepth throws SceneError naming the file and the field.
Json parseJson(const std::string& text, const std::string& file);

class Reader {
  public:
    explicit Reader(std::string file) : file_(std::move(file)) {}
    const std::string& file() const { return file_; }

    [[noreturn]] void fail(const std::string& field, const std::string& what) const;

    // A member of an object, or nullptr when absent.
    const Json* find(const Json& object, const std::string& key) const;
    const Json& require(const Json& object, const std::string& parent,
                        const std::string& key) const;

    const Json& object(const Json& value, const std::string& field) const;
    // An object whose every member is one of `known`; any other fails naming it.
    const Json& objectOf(const Json& value, const std::string& field,
                         std::initializer_list<const char*> known) const;
    const Json& array(const Json& value, const std::string& field) const;
    double number(const Json& value, const std::string& field) const;  // finite
    double numberIn(const Json& value, const std::string& field, double lo, double hi) const;
    int integerIn(const Json& value, const std::string& field, int lo, int hi) const;
    bool boolean(const Json& value, const std::string& field) const;
    const std::string& string(const Json& value, const std::string& field) const;
    // Seconds to the nearest frame of the composition; a time whose value does not fit the host's
    // 32-bit time values at the composition's time scale is refused, not wrapped.
    Time time(const Json& value, const std::string& field, const Comp& comp) const;
    // Two or three numbers; a missing third takes z.
    Vec3 vector(const Json& value, const std::string& field, double z) const;

  private:
    [[noreturn]] void expected(const Json& value, const std::string& field,
                               const std::string& what) const;
    std::string file_;
};

}  // namespace sim::scene
