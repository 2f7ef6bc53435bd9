#include "cli/cli_error.h"

#include <cstdio>

#include "cli/json_text.h"

namespace tolvane::cli {

namespace {

std::string& command() {
  static std::string name;
  return name;
}

bool& json() {
  static bool on = false;
  return on;
}

std::string prefix() { return command().empty() ? "tolvane-cli: " : "tolvane-cli: " + command() + ": "; }

}  // namespace

void setCommandName(const std::string& name) { command() = name; }
const std::string& commandName() { return command(); }
void setJsonOutput(bool on) { json() = on; }
bool jsonOutput() { return json(); }

int fail(std::string_view errorCode, const std::string& message) {
  std::fprintf(stderr, "%s%s\n", prefix().c_str(), message.c_str());
  if (json()) std::printf("%s\n", JsonObject().addText("error", message).addText("code", errorCode).text().c_str());
  return kExitFailure;
}

int usageError(const std::string& message) {
  fail(code::kUsage, message);
  return kExitUsage;
}

void warn(const std::string& message) { std::fprintf(stderr, "%swarning: %s\n", prefix().c_str(), message.c_str()); }

void note(const std::string& message) { std::fprintf(stderr, "%s%s\n", prefix().c_str(), message.c_str()); }

int printError(const std::string& message) { return fail(code::kFailed, message); }

}  // namespace tolvane::cli
