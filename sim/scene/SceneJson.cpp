// Parsing scene JSON in two passes: a streaming pass that knows where it is, so that nesting too
// deep and numbers too big are refused naming the field, then the ordinary parse of a document
// that is now known to be safe to walk recursively.
#include <string>
#include <vector>

#include "sim/model/MessageText.h"
#include "sim/scene/Scene.h"
#include "sim/scene/SceneReader.h"

namespace sim::scene {

namespace {

class Checker : public nlohmann::json_sax<Json> {
  public:
    explicit Checker(const std::string& file) : file_(file) {}

    bool null() override { return done(); }
    bool boolean(bool) override { return done(); }
    bool number_integer(number_integer_t) override { return done(); }
    bool number_unsigned(number_unsigned_t) override { return done(); }
    bool number_float(number_float_t, const string_t&) override { return done(); }
    bool string(string_t&) override { return done(); }
    bool binary(binary_t&) override { return done(); }
    bool start_object(std::size_t) override { return open(false); }
    bool start_array(std::size_t) override { return open(true); }
    bool end_object() override { return close(); }
    bool end_array() override { return close(); }
    bool key(string_t& name) override {
        frames_.back().key = name;
        return true;
    }

    bool parse_error(std::size_t, const std::string& token,
                     const nlohmann::detail::exception& e) override {
        if (e.id == 406)  // a number beyond the range of a double
            throw SceneError(
                oneLine(file_ + ": " + field() + ": number out of range: " + excerpt(token)));
        const std::string what = e.what();
        throw SceneError(
            oneLine(file_ + ": malformed JSON: " + excerpt(what.substr(what.find(' ') + 1), 200)));
    }

  private:
    struct Frame {
        bool array = false;
        size_t index = 0;
        std::string key;
    };

    // Where the next value goes: "layers[2].transform.position".
    std::string field() const {
        std::string path;
        for (const Frame& f : frames_) path = f.array ? item(path, f.index) : member(path, f.key);
        return path.empty() ? "(top level)" : path;
    }

    bool open(bool array) {
        if (frames_.size() >= size_t(kMaxDepth))
            throw SceneError(oneLine(file_ + ": " + field() + ": nested deeper than " +
                                     std::to_string(kMaxDepth) + " levels"));
        frames_.push_back({array, 0, {}});
        return true;
    }

    bool close() {
        frames_.pop_back();
        return done();
    }

    bool done() {
        if (!frames_.empty() && frames_.back().array) ++frames_.back().index;
        return true;
    }

    const std::string& file_;
    std::vector<Frame> frames_;
};

}  // namespace

Json parseJson(const std::string& text, const std::string& file) {
    Checker checker(file);
    Json::sax_parse(text, &checker);
    return Json::parse(text);
}

}  // namespace sim::scene
