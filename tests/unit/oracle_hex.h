// The bytes of a hex text, as the build-time oracle tables write strings.
#pragma once
#include <string>

namespace oracle {

inline std::string FromHex(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(char(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

}  // namespace oracle
