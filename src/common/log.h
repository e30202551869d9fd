// Logging hooks. Named step markers ("FormCreate", "Project.Free", ...) and the
// script trace go to whatever sink the shell installs (the --trace file);
// nothing is written when no sink is set.
#pragma once

#include <functional>
#include <string_view>

namespace orva::log {

using Sink = std::function<void(std::string_view line)>;

// Installs the sink for step markers and trace lines (an empty function
// removes it). Returns the previous sink.
Sink SetTraceSink(Sink sink);

// A named step of start-up, switching or shutdown.
void StepMarker(std::string_view name);

// One line of the script trace (already formatted).
void TraceLine(std::string_view line);

// Warnings and notices for the user, to standard error (UTF-8).
void Warning(std::string_view utf8);

bool TraceEnabled();

}  // namespace orva::log
