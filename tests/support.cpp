#include "support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "engine/store.h"
#include "loop.h"

namespace testing_support {

// Integer digits are right-aligned on the units cell, fraction digits follow it.
void setReg(int r, const std::string& value) {
  const auto dot = value.find('.');
  const std::string ip = value.substr(0, dot);
  const std::string fp = dot == std::string::npos ? "" : value.substr(dot + 1);
  engine::zero(r);
  for (size_t i = 0; i < ip.size(); ++i) {
    const int cell = engine::decpoint - static_cast<int>(ip.size() - 1 - i);
    if (cell >= 0) engine::n[r + cell] = static_cast<signed char>(ip[i] - '0');
  }
  for (size_t i = 0; i < fp.size(); ++i) {
    const int cell = engine::decpoint + 1 + static_cast<int>(i);
    if (cell <= engine::precision) engine::n[r + cell] = static_cast<signed char>(fp[i] - '0');
  }
}

std::string regText(int r) {
  std::string s;
  for (int k = 0; k <= engine::precision; ++k) {
    s += static_cast<char>('0' + engine::n[r + k]);
    if (k == engine::decpoint && k < engine::precision) s += '.';
  }
  return s;
}

std::string runDialogue(const std::string& input) {
  std::istringstream in(input);
  std::ostringstream out, err;
  console::run(in, out, err);
  return out.str();
}

std::string readFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

std::string readData(const std::string& name) { return readFile(std::string(TESTDATA_DIR) + "/" + name); }

std::vector<std::vector<std::string>> readCases(const std::string& name) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream text(readData(name));
  for (std::string line; std::getline(text, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string>& row = rows.emplace_back();
    for (size_t at = 0, bar; at != std::string::npos; at = bar == std::string::npos ? bar : bar + 3) {
      bar = line.find(" | ", at);
      row.push_back(line.substr(at, bar == std::string::npos ? bar : bar - at));
    }
  }
  return rows;
}

Scratch::Scratch() {
  std::random_device random;
  for (;;) {  // a name already in use is passed over
    dir = testing::TempDir() + "zantorix_scratch_" + std::to_string(random());
    std::error_code e;
    if (std::filesystem::create_directory(dir, e)) return;
    if (e) {
      ADD_FAILURE() << dir << ": " << e.message();
      return;
    }
  }
}

Scratch::~Scratch() {
  std::error_code e;
  std::filesystem::remove_all(dir, e);
}

std::string randomDigits(unsigned& seed, int len, bool dense) {
  std::string s;
  for (int i = 0; i < len; ++i) {
    seed = seed * 1103515245u + 12345u;
    const unsigned d = (seed >> 16) % 10;
    s += static_cast<char>('0' + (dense && d == 0 ? 9 : d));
  }
  return s;
}

}  // namespace testing_support
