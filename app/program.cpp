#include "app/program.h"

#include "transport/aspisim.h"

Program::Program(Services services) : os(services) {}

Program::~Program() = default;
