#include "app/program.h"

#include "transport/aspisim.h"

Program::Program(Services services)
    : os(services),
      channel(services.events, services.dialogs),
      aspiLibrary{services.libraries, services.dialogs, channel.aspi} {}

Program::~Program() = default;
