// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: the command-line parser, given any arguments at all.
// The input is split at NUL bytes into arguments after the program's name.
// Every run must end in an invocation, in help or version text (status 0),
// or in a usage error of one line (status 2); anything else, and any crash
// or sanitizer finding, stops the fuzzer.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/CommandLine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> arguments{"quillotone"};
  const std::string input(reinterpret_cast<const char*>(data), size);
  for (std::size_t start = 0, end = 0; start <= size; start = end + 1) {
    end = std::min(input.find('\0', start), size);
    arguments.push_back(input.substr(start, end - start));
  }
  const quillotone::ParsedCommandLine parsed = quillotone::ParseCommandLine(arguments);
  const bool fine = parsed.invocation ? parsed.exitStatus == 0 && parsed.error.empty()
                    : parsed.exitStatus == 0
                        ? !parsed.output.empty()
                        : parsed.exitStatus == quillotone::kUsageError &&
                              parsed.error.find('\n') == parsed.error.size() - 1;
  if (!fine) __builtin_trap();
  return 0;
}
