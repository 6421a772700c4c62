#include "support/json.h"

#include <stdexcept>

namespace ms::testing {
namespace {

class Parser {
 public:
  explicit Parser(const std::string& text) : text_(text) {}

  Json ParseDocument() {
    Json value = ParseValue();
    SkipSpace();
    if (at_ != text_.size()) Fail("trailing text");
    return value;
  }

 private:
  [[noreturn]] void Fail(const std::string& why) {
    throw std::runtime_error("JSON: " + why + " at " + std::to_string(at_));
  }
  void SkipSpace() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\n' ||
                                  text_[at_] == '\r' || text_[at_] == '\t'))
      ++at_;
  }
  char Peek() {
    SkipSpace();
    if (at_ >= text_.size()) Fail("unexpected end");
    return text_[at_];
  }
  void Expect(char c) {
    if (Peek() != c) Fail(std::string("expected ") + c);
    ++at_;
  }

  Json ParseValue() {
    Json value;
    const char c = Peek();
    if (c == '{') {
      value.kind = Json::Kind::kObject;
      ++at_;
      if (Peek() == '}') {
        ++at_;
        return value;
      }
      for (;;) {
        const std::string key = ParseString();
        Expect(':');
        value.fields[key] = ParseValue();
        if (Peek() == ',') {
          ++at_;
          continue;
        }
        Expect('}');
        return value;
      }
    }
    if (c == '[') {
      value.kind = Json::Kind::kArray;
      ++at_;
      if (Peek() == ']') {
        ++at_;
        return value;
      }
      for (;;) {
        value.items.push_back(ParseValue());
        if (Peek() == ',') {
          ++at_;
          continue;
        }
        Expect(']');
        return value;
      }
    }
    if (c == '"') {
      value.kind = Json::Kind::kString;
      value.text = ParseString();
      return value;
    }
    if (text_.compare(at_, 4, "true") == 0 ||
        text_.compare(at_, 5, "false") == 0) {
      value.kind = Json::Kind::kBool;
      value.boolean = text_[at_] == 't';
      at_ += value.boolean ? 4 : 5;
      return value;
    }
    if (text_.compare(at_, 4, "null") == 0) {
      at_ += 4;
      return value;
    }
    std::size_t used = 0;
    try {
      value.number = std::stoll(text_.substr(at_, 24), &used);
    } catch (const std::exception&) {
      Fail("bad value");
    }
    value.kind = Json::Kind::kNumber;
    at_ += used;
    return value;
  }

  std::string ParseString() {
    Expect('"');
    std::string out;
    while (at_ < text_.size() && text_[at_] != '"') {
      char c = text_[at_++];
      if (c != '\\') {
        out += c;
        continue;
      }
      if (at_ >= text_.size()) Fail("bad escape");
      c = text_[at_++];
      switch (c) {
        case 'n':
          out += '\n';
          break;
        case 't':
          out += '\t';
          break;
        case 'r':
          out += '\r';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'u': {
          const unsigned code = static_cast<unsigned>(
              std::stoul(text_.substr(at_, 4), nullptr, 16));
          at_ += 4;
          if (code < 0x80) {
            out += static_cast<char>(code);
          } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
          } else {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
          }
          break;
        }
        default:
          out += c;
          break;
      }
    }
    if (at_ >= text_.size()) Fail("unterminated string");
    ++at_;
    return out;
  }

  const std::string& text_;
  std::size_t at_ = 0;
};

}  // namespace

const Json& Json::operator[](const std::string& key) const {
  const auto it = fields.find(key);
  if (it == fields.end()) throw std::runtime_error("JSON: no field " + key);
  return it->second;
}

Json ParseJson(const std::string& text) { return Parser(text).ParseDocument(); }

std::vector<Json> ParseJsonLines(const std::string& text) {
  std::vector<Json> values;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    if (end > start)
      values.push_back(ParseJson(text.substr(start, end - start)));
    start = end + 1;
  }
  return values;
}

}  // namespace ms::testing
