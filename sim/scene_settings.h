// A settings record whose four cameras are calibrated on the synthetic scene,
// as an installer would leave it.
#pragma once

#include <cstdint>

#include "host/scene.h"
#include "vio/settings.h"

// The scene's true lenses and its marks as whole pixels, for the car and view
// range of `layout` (the scene is configured for it).
Flash_param scene_settings(const host::scene::Layout& layout = {}, std::uint16_t close_etc = 255);
