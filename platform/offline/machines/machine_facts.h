// The facts of a machine that Windows derives from its registry and its files, for every
// kind of machine without rules of its own (a Wine prefix answers as Wine does).
#pragma once

#include "platform/offline/formats/machine_ini.h"
#include "platform/offline/machines/machine.h"

namespace korvane {

// The facts a machine's registry and files give wherever ini leaves them out: version
// record, directories, capture drivers.
void DeriveMachineFacts(const MachineIni& ini, OfflineMachine* machine);

}  // namespace korvane
