// The camera frames of each pass: fetched from capture, copied by DMA into
// one of two buffer sets while the other set, filled the pass before, is
// composed. The picture so lags the capture by one pass.
#pragma once

#include <cstdint>

#include "platform/mpi.h"

struct CameraBuffer {
    HI_U32 y_phys = 0, uv_phys = 0;
    std::uint8_t* y = nullptr;
    std::uint16_t* uv = nullptr;
};

// Cameras in capture order: channels 0, 1, 4, 5.
constexpr int CAM_LEFT = 0, CAM_RIGHT = 1, CAM_BACK = 2, CAM_FRONT = 3;
constexpr VI_CHN CAPTURE_CHANNEL[4] = {0, 1, 4, 5};

struct CameraFrames {
    CameraBuffer sets[2][4];      // set A, set B
    VIDEO_FRAME_INFO_S frames[4]{};
    bool held[4] = {};            // a frame is held until the next pass releases it
    int buffer_flag = 0;          // which set receives this pass's copy: 0 B, non-zero A
    IVE_HANDLE IveHandle = 0;
};

// Allocates the sixteen planes, set A first; false when one fails.
bool alloc_camera_frames(CameraFrames& cf);
// Fetches the first frames and copies them into set A.
void first_frames(CameraFrames& cf);
// One pass: waits for the last copy, releases and fetches the four frames,
// starts copying them into one set and returns the other set to compose.
// `count` is the pass counter printed after the front camera's fetch.
const CameraBuffer* next_frames(CameraFrames& cf, std::uint16_t count);
