// The firmware container at the end of the program's own file: the start-up
// check that accepts or rejects it, and the full read into ContainerImage at
// the start of each flash run.
#pragma once

#include <cstdint>
#include <span>

#include "firmware/container_format.h"
#include "firmware/container_info.h"
#include "firmware/run_state.h"
#include "firmware/status_view.h"
#include "platform/system_info.h"

// Fills `info` and the container-valid flag; shows the checksum, the family
// tag, the carried version (only when accepted), and on rejection its status
// with the flash button disabled. Window thread, during start-up.
void CheckContainer(platform::SystemInfo& system, ContainerInfo& info, RunState& run, ContainerView& view);

// Reads the whole container from the own-file path kept by CheckContainer
// into ContainerImage. False when the file cannot be opened, no longer holds
// a whole container, or the read fails; ContainerImage is then not to be
// sent. Flash thread.
bool LoadContainerImage(const ContainerInfo& info);

// The one buffer a flash run sends its blocks from. Static storage: a
// back-end may still read a block after its wait ran out, so it must outlive
// every run and every thread. Written by LoadContainerImage and read by the
// flash thread (and the back-end it drives).
std::span<uint8_t, CONTAINER_SIZE> ContainerImage();
