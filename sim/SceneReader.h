#pragma once
// Checked reading of scene JSON: every failure is one line naming the file and the field.
#include <string>

#include <nlohmann/json.hpp>

#include "sim/Model.h"

namespace sim::scene {

using Json = nlohmann::ordered_json;

std::string member(const std::string& parent, const std::string& key);  // "parent.key"
std::string item(const std::string& parent, size_t index);              // "parent[index]"
std::string describe(const Json& value);
std::string shortNumber(
    double v);  // %g, for messages  // for messages: string "abc", number 3, ...

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
    const Json& array(const Json& value, const std::string& field) const;
    double number(const Json& value, const std::string& field) const;  // finite
    double numberIn(const Json& value, const std::string& field, double lo, double hi) const;
    int integerIn(const Json& value, const std::string& field, int lo, int hi) const;
    bool boolean(const Json& value, const std::string& field) const;
    const std::string& string(const Json& value, const std::string& field) const;
    // Two or three numbers; a missing third takes z.
    Vec3 vector(const Json& value, const std::string& field, double z) const;

  private:
    [[noreturn]] void expected(const Json& value, const std::string& field,
                               const std::string& what) const;
    std::string file_;
};

}  // namespace sim::scene
