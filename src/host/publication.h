// Sound publication: the generated image goes to the host's sound bank.
#pragma once

#include "host/host_abi.h"

namespace quavix::host {

// Hands the current image (last length + 44 bytes) to the sound bank under
// the name, replacing a sound of that name; returns the host's last answer.
HostWord Publish(RunObjectData& object, const char* name);

// Synthesizes the parameters into the wave buffer, completes the header,
// publishes the image and raises "%o : Sound generated".
void GenerateSound(RunObjectData& object, const char* name);

}  // namespace quavix::host
