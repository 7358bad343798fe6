// Comparing the selected drive's firmware revision with the version the
// container carries: a drive whose first three characters differ is refused
// (status 11, the flash button disabled); otherwise the container being newer, equal
// or older asks status 12, 32 or 33 with the flash button enabled. A drive reporting
// "N/A " counts as version "0.01".
//
// Threads: window thread only.
#pragma once

#include "drive/drive_table.h"
#include "firmware/container_info.h"
#include "firmware/run_state.h"
#include "firmware/status_view.h"

// Does nothing unless a drive is selected and the container is valid, or when
// `position` names no kept drive.
void CheckVersion(const RunState& run, const DriveTable& drives, const ContainerInfo& container,
                  StatusView& view, int position);
