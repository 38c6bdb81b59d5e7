// Containers generated in code for the fuzzer: the seed corpus it starts from,
// and the regression cases of its findings. Both are replayed by the tests.
#pragma once

#include <string>
#include <vector>

#include "support/container_builder.hpp"

namespace zor2wav::fuzz {

struct named_input {
  std::string name;
  test::bytes content;
};

// Small well-formed and broken containers that reach every branch of the
// scan-and-convert path.
std::vector<named_input> seed_inputs();

// One input per fuzzer finding, each rebuilt in code.
std::vector<named_input> regression_inputs();

}  // namespace zor2wav::fuzz
