#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace vexora::data::testing {

// A parsed JSON value; enough of JSON to check the table tool's output.
struct Json {
    enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
    bool boolean = false;
    double number = 0;
    bool integral = false;
    std::string text;
    std::vector<Json> items;
    std::map<std::string, Json> members;

    const Json& operator[](const std::string& key) const {
        const auto it = members.find(key);
        if (it == members.end())
            throw std::runtime_error("no member " + key);
        return it->second;
    }
    const Json& operator[](std::size_t i) const { return items.at(i); }
};

class JsonReader {
public:
    explicit JsonReader(const std::string& s) : s_(s) {}

    Json document() {
        Json v = value();
        skipSpace();
        if (pos_ != s_.size())
            fail("text after the value");
        return v;
    }

private:
    [[noreturn]] void fail(const std::string& what) {
        throw std::runtime_error("JSON: " + what + " at " + std::to_string(pos_));
    }
    void skipSpace() {
        while (pos_ < s_.size() &&
               (s_[pos_] == ' ' || s_[pos_] == '\n' || s_[pos_] == '\r' || s_[pos_] == '\t'))
            ++pos_;
    }
    bool literal(const char* word) {
        const std::string w(word);
        if (s_.compare(pos_, w.size(), w) != 0)
            return false;
        pos_ += w.size();
        return true;
    }
    Json value() {
        skipSpace();
        if (pos_ >= s_.size())
            fail("end of text");
        Json v;
        const char c = s_[pos_];
        if (c == '{') {
            v.kind = Json::Kind::Object;
            ++pos_;
            skipSpace();
            if (s_[pos_] == '}') {
                ++pos_;
                return v;
            }
            for (;;) {
                skipSpace();
                Json key = value();
                if (key.kind != Json::Kind::String)
                    fail("object key");
                skipSpace();
                if (s_[pos_++] != ':')
                    fail("':'");
                v.members[key.text] = value();
                skipSpace();
                if (s_[pos_] == ',') {
                    ++pos_;
                    continue;
                }
                if (s_[pos_++] != '}')
                    fail("'}'");
                return v;
            }
        }
        if (c == '[') {
            v.kind = Json::Kind::Array;
            ++pos_;
            skipSpace();
            if (s_[pos_] == ']') {
                ++pos_;
                return v;
            }
            for (;;) {
                v.items.push_back(value());
                skipSpace();
                if (s_[pos_] == ',') {
                    ++pos_;
                    continue;
                }
                if (s_[pos_++] != ']')
                    fail("']'");
                return v;
            }
        }
        if (c == '"') {
            v.kind = Json::Kind::String;
            ++pos_;
            while (pos_ < s_.size() && s_[pos_] != '"') {
                char ch = s_[pos_++];
                if (static_cast<unsigned char>(ch) < 0x20)
                    fail("control character in a string");
                if (ch != '\\') {
                    v.text.push_back(ch);
                    continue;
                }
                ch = s_[pos_++];
                switch (ch) {
                    case '"':
                    case '\\':
                    case '/':
                        v.text.push_back(ch);
                        break;
                    case 'n':
                        v.text.push_back('\n');
                        break;
                    case 'r':
                        v.text.push_back('\r');
                        break;
                    case 't':
                        v.text.push_back('\t');
                        break;
                    case 'b':
                        v.text.push_back('\b');
                        break;
                    case 'f':
                        v.text.push_back('\f');
                        break;
                    case 'u': {
                        const unsigned cp = std::stoul(s_.substr(pos_, 4), nullptr, 16);
                        pos_ += 4;
                        if (cp < 0x80) {
                            v.text.push_back(static_cast<char>(cp));
                        } else if (cp < 0x800) {
                            v.text.push_back(static_cast<char>(0xC0 | (cp >> 6)));
                            v.text.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
                        } else {
                            v.text.push_back(static_cast<char>(0xE0 | (cp >> 12)));
                            v.text.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
                            v.text.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
                        }
                        break;
                    }
                    default:
                        fail("bad escape");
                }
            }
            if (pos_ >= s_.size())
                fail("unterminated string");
            ++pos_;
            return v;
        }
        if (literal("true")) {
            v.kind = Json::Kind::Bool;
            v.boolean = true;
            return v;
        }
        if (literal("false")) {
            v.kind = Json::Kind::Bool;
            return v;
        }
        if (literal("null"))
            return v;
        const std::size_t start = pos_;
        if (s_[pos_] == '-')
            ++pos_;
        while (pos_ < s_.size() &&
               std::string("0123456789.eE+-").find(s_[pos_]) != std::string::npos)
            ++pos_;
        if (pos_ == start)
            fail("unexpected character");
        const std::string num = s_.substr(start, pos_ - start);
        v.kind = Json::Kind::Number;
        v.number = std::stod(num);
        v.integral = num.find_first_of(".eE") == std::string::npos;
        return v;
    }

    const std::string& s_;
    std::size_t pos_ = 0;
};

inline Json parseJson(const std::string& text) {
    return JsonReader(text).document();
}

}  // namespace vexora::data::testing
