#include "app/program.h"

#include "transport/aspisim.h"

Program::Program(Services services)
    : dialogs(services.dialogs),
      os{services.system, services.power, services.libraries, services.devices, services.events, dialogs},
      channel(services.events, dialogs),
      aspiLibrary{services.libraries, dialogs, channel.aspi} {}

Program::~Program() = default;
