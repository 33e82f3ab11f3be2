#include "monitor/labels.h"

#include <cctype>
#include <fstream>
#include <map>

#include "monitor/expression.h"

namespace quillon {
namespace {

// A name file is small; a larger one is no label file.
constexpr std::size_t MaxLabels = 65536;
constexpr int MaxProblemsShown = 8;

std::map<std::string, std::uint16_t, std::less<>> Names;
std::map<std::uint16_t, std::string> AddressNames;

std::string_view Trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
    text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
    text.remove_suffix(1);
  return text;
}

bool IsName(std::string_view name) {
  if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0]))) return false;
  for (const char c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  }
  return true;
}

bool ReadAddress(std::string_view text, std::uint16_t& address) {
  std::uint32_t value = 0;
  if (!ParseValue(text, nullptr, value) || value > 0xFFFF) return false;
  address = static_cast<std::uint16_t>(value);
  return true;
}

// One line of a label file read into the labels; false when it is neither form (blank lines
// and comments count as read).
bool ReadLabelLine(std::string_view line) {
  line = Trim(line.substr(0, line.find(';')));
  if (line.empty()) return true;
  // name = $address
  if (const std::size_t equals = line.find('='); equals != std::string_view::npos) {
    std::uint16_t address = 0;
    return ReadAddress(Trim(line.substr(equals + 1)), address) &&
           AddLabel(Trim(line.substr(0, equals)), address);
  }
  // al [C:]address .name
  if (line.size() < 3 || std::tolower(static_cast<unsigned char>(line[0])) != 'a' ||
      std::tolower(static_cast<unsigned char>(line[1])) != 'l' ||
      !std::isspace(static_cast<unsigned char>(line[2]))) {
    return false;
  }
  line = Trim(line.substr(3));
  const std::size_t space = line.find_first_of(" \t");
  if (space == std::string_view::npos) return false;
  std::string_view address = line.substr(0, space);
  if (address.size() > 2 && address[1] == ':') address.remove_prefix(2);
  std::uint16_t value = 0;
  return ReadAddress(address, value) && AddLabel(Trim(line.substr(space)), value);
}

}  // namespace

bool AddLabel(std::string_view name, std::uint16_t address) {
  if (!name.empty() && name[0] == '.') name.remove_prefix(1);
  if (!IsName(name) || Names.size() >= MaxLabels) return false;
  const std::string key(name);
  if (const auto old = Names.find(key); old != Names.end()) {
    const auto named = AddressNames.find(old->second);
    if (named != AddressNames.end() && named->second == key) AddressNames.erase(named);
  }
  Names[key] = address;
  AddressNames.emplace(address, key);
  return true;
}

void ClearLabels() {
  Names.clear();
  AddressNames.clear();
}

const char* LabelAt(std::uint16_t address) {
  const auto named = AddressNames.find(address);
  return named != AddressNames.end() ? named->second.c_str() : nullptr;
}

bool FindLabel(std::string_view name, std::uint16_t& address) {
  const auto found = Names.find(name);
  if (found == Names.end()) return false;
  address = found->second;
  return true;
}

bool LoadLabelFile(const std::string& path, std::size_t& added,
                   std::vector<std::string>& problems) {
  std::ifstream file(path);
  added = 0;
  if (!file) {
    problems.push_back("cannot read '" + path + "'");
    return false;
  }
  const std::size_t before = Names.size();
  std::string line;
  int unread = 0;
  for (int number = 1; std::getline(file, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (ReadLabelLine(line)) continue;
    if (++unread <= MaxProblemsShown) {
      problems.push_back("line " + std::to_string(number) + " is no label: " + line.substr(0, 60));
    }
  }
  if (unread > MaxProblemsShown) {
    problems.push_back("and " + std::to_string(unread - MaxProblemsShown) + " more such lines");
  }
  added = Names.size() - before;
  return true;
}

}  // namespace quillon
