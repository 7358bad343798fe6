// Problems that the loaded virtual ASPI library reports to the demo: its
// command log or flash dump that could not be written, a configuration it
// refused. The library finds zx_ReportLibraryProblem among the demo's
// exported symbols; the demo prints what was reported and fails its exit
// status, so that a lost log or dump never passes unnoticed.
// Threads: any.
#pragma once

#include <string>
#include <vector>

extern "C" void zx_ReportLibraryProblem(const char* line);

namespace demo {

// Every line reported so far, in order; the list is emptied.
std::vector<std::string> TakeLibraryProblems();

}  // namespace demo
