// Just enough JSON to read what ms-browse and ms-sim print.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace ms::testing {

struct Json {
  enum class Kind {
    kNull,
    kBool,
    kNumber,
    kString,
    kArray,
    kObject
  } kind = Kind::kNull;
  bool boolean = false;
  long long number = 0;
  std::string text;
  std::vector<Json> items;
  std::map<std::string, Json> fields;

  const Json& operator[](const std::string& key) const;
  const Json& operator[](std::size_t index) const { return items.at(index); }
};

// Throws std::runtime_error on anything it does not understand.
Json ParseJson(const std::string& text);

// One value per non-empty line.
std::vector<Json> ParseJsonLines(const std::string& text);

}  // namespace ms::testing
