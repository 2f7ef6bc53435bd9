#pragma once
// Small pieces for writing JSON by hand: strings escaped, numbers with
// enough digits to give the stored value back.
#include <string>
#include <string_view>
#include <vector>

namespace tolvane::cli {

// A JSON string literal, quotes included.
std::string jsonText(std::string_view text);
// A stored single-precision value: the shortest digits that read back as it.
std::string jsonNumber(float value);
// A double: the shortest digits (at most 17) that read back as it.
std::string jsonNumber(double value);
// A measured value rounded to `decimals` places, then written in its
// shortest form: 600.00 is 600, 6.4030 is 6.403. The rounding keeps the
// result's precision honest; the shortest form reads back as the same number.
std::string jsonRounded(double value, int decimals);
inline std::string jsonNumber(int value) { return std::to_string(value); }
inline std::string jsonNumber(long long value) { return std::to_string(value); }

// Builds one JSON object key by key: JsonObject().add("a", 1).text().
class JsonObject {
 public:
  JsonObject& add(std::string_view key, const std::string& rawJson);
  JsonObject& addText(std::string_view key, std::string_view text) { return add(key, jsonText(text)); }
  JsonObject& addNumber(std::string_view key, float value) { return add(key, jsonNumber(value)); }
  JsonObject& addNumber(std::string_view key, double value) { return add(key, jsonNumber(value)); }
  JsonObject& addNumber(std::string_view key, int value) { return add(key, jsonNumber(value)); }
  JsonObject& addNumber(std::string_view key, long long value) { return add(key, jsonNumber(value)); }
  JsonObject& addBool(std::string_view key, bool value) { return add(key, value ? "true" : "false"); }
  std::string text() const { return body_ + "}"; }

 private:
  std::string body_ = "{";
};

// "[a, b, ...]" of raw JSON values.
std::string jsonArray(const std::vector<std::string>& rawValues);

}  // namespace tolvane::cli
