#include "common/log.h"

#include <cstdio>
#include <string>
#include <utility>

namespace orva::log {
namespace {
Sink& CurrentSink() {
  static Sink sink;
  return sink;
}
}  // namespace

Sink SetTraceSink(Sink sink) { return std::exchange(CurrentSink(), std::move(sink)); }

bool TraceEnabled() { return static_cast<bool>(CurrentSink()); }

void StepMarker(std::string_view name) {
  if (auto& sink = CurrentSink()) sink(std::string("[step] ") + std::string(name));
}

void TraceLine(std::string_view line) {
  if (auto& sink = CurrentSink()) sink(line);
}

void Warning(std::string_view utf8) {
  std::fprintf(stderr, "orvaplayer: %.*s\n", static_cast<int>(utf8.size()), utf8.data());
}

}  // namespace orva::log
