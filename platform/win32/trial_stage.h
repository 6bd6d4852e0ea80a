// What every decoder trial tells as it goes: the step it is about to take, for the observer
// of the trial and for the exception filter, should that step take the process down.
#pragma once

#include <string>

namespace korvane {

void Stage(const std::string& stage);

}  // namespace korvane
