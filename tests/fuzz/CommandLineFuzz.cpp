// libFuzzer target: the command-line parser, given any arguments at all.
// The input is split at NUL bytes into arguments after the program's name.
// Every run must end in an invocation (status 0), or in help or version text
// (status 0), or in a usage error of one line (status 2); anything else,
// and any crash or sanitizer finding, stops the fuzzer.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/CommandLine.h"

namespace {

[[noreturn]] void Fail() { __builtin_trap(); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> arguments{"quillotone"};
  const char* text = reinterpret_cast<const char*>(data);
  std::size_t start = 0;
  for (std::size_t i = 0; i <= size; ++i) {
    if (i == size || data[i] == 0) {
      arguments.emplace_back(text + start, i - start);
      start = i + 1;
    }
  }

  const quillotone::ParsedCommandLine parsed = quillotone::ParseCommandLine(arguments);
  if (parsed.invocation) {
    if (parsed.exitStatus != 0 || !parsed.error.empty()) Fail();
  } else if (parsed.exitStatus == 0) {
    if (parsed.output.empty()) Fail();  // help or version, and nothing to say
  } else if (parsed.exitStatus != quillotone::kUsageError || parsed.error.empty() ||
             parsed.error.find('\n') != parsed.error.size() - 1) {
    Fail();
  }
  return 0;
}
