#include "platform/contacts/vcard_syntax.h"

#include "platform/foundation/text.h"

namespace platform::contacts::vcard {
namespace {

char asciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool isNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_';
}

// Parameter values may carry ^n, ^^ and ^' for a line break, a caret and a
// double quote, which their syntax cannot hold otherwise.
std::string decodeCaret(std::string_view v) {
  std::string out;
  out.reserve(v.size());
  for (size_t i = 0; i < v.size(); ++i) {
    if (v[i] == '^' && i + 1 < v.size()) {
      char n = v[i + 1];
      if (n == 'n' || n == 'N') { out.push_back('\n'); ++i; continue; }
      if (n == '^') { out.push_back('^'); ++i; continue; }
      if (n == '\'') { out.push_back('"'); ++i; continue; }
    }
    out.push_back(v[i]);
  }
  return out;
}

}  // namespace

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (asciiLower(a[i]) != asciiLower(b[i])) return false;
  return true;
}

std::vector<Line> unfold(std::string_view text) {
  std::vector<Line> lines;
  size_t number = 0;
  size_t pos = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  while (pos < text.size()) {
    const size_t begin = pos;
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view physical = text.substr(pos, end - pos);
    pos = end;
    if (pos < text.size() && text[pos] == '\r') ++pos;
    if (pos < text.size() && text[pos] == '\n') ++pos;
    ++number;
    if (physical.empty()) continue;
    if ((physical[0] == ' ' || physical[0] == '\t') && !lines.empty()) {
      lines.back().text.append(physical.substr(1));
      lines.back().end = pos;
      continue;
    }
    lines.push_back({std::string(physical), number, begin, pos});
  }
  return lines;
}

std::string unescape(std::string_view v) {
  std::string out;
  out.reserve(v.size());
  for (size_t i = 0; i < v.size(); ++i) {
    if (v[i] == '\\' && i + 1 < v.size()) {
      char n = v[++i];
      out.push_back(n == 'n' || n == 'N' ? '\n' : n);
    } else {
      out.push_back(v[i]);
    }
  }
  return out;
}

std::vector<std::string_view> splitStructured(std::string_view v, char separator) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (size_t i = 0; i < v.size(); ++i) {
    if (v[i] == '\\') {
      ++i;
    } else if (v[i] == separator) {
      parts.push_back(v.substr(start, i - start));
      start = i + 1;
    }
  }
  parts.push_back(v.substr(start));
  return parts;
}

std::string textValue(std::string_view raw) { return std::string(trim(unescape(raw))); }

const std::vector<std::string>* Property::param(std::string_view lowerName) const {
  for (const auto& p : params)
    if (p.name == lowerName) return &p.values;
  return nullptr;
}

std::optional<Property> parseProperty(std::string_view line) {
  size_t i = 0;
  auto token = [&] {
    size_t start = i;
    while (i < line.size() && isNameChar(line[i])) ++i;
    return line.substr(start, i - start);
  };
  std::string_view name = token();
  if (i < line.size() && line[i] == '.') {  // "item1.TEL": the group only ties labels to values
    ++i;
    name = token();
  }
  if (name.empty() || i >= line.size() || (line[i] != ':' && line[i] != ';')) return std::nullopt;
  Property p;
  for (char c : name) p.name.push_back(asciiUpper(c));

  while (line[i] == ';') {
    ++i;
    std::string_view paramName = token();
    if (paramName.empty()) return std::nullopt;
    Param param;
    if (i < line.size() && line[i] == '=') {
      param.name.reserve(paramName.size());
      for (char c : paramName) param.name.push_back(asciiLower(c));
      ++i;
      for (;;) {
        if (i < line.size() && line[i] == '"') {
          size_t close = line.find('"', i + 1);
          if (close == std::string_view::npos) return std::nullopt;
          param.values.push_back(decodeCaret(line.substr(i + 1, close - i - 1)));
          i = close + 1;
        } else {
          size_t start = i;
          while (i < line.size() && line[i] != ',' && line[i] != ';' && line[i] != ':') ++i;
          param.values.push_back(decodeCaret(line.substr(start, i - start)));
        }
        if (i < line.size() && line[i] == ',') {
          ++i;
          continue;
        }
        break;
      }
    } else {
      // vCard 2.1 writes types bare: "TEL;CELL:...".
      param.name = "type";
      param.values.emplace_back(paramName);
    }
    if (i >= line.size() || (line[i] != ';' && line[i] != ':')) return std::nullopt;
    p.params.push_back(std::move(param));
  }
  p.value = line.substr(i + 1);
  return p;
}

}  // namespace platform::contacts::vcard
