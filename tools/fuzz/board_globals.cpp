// The application's drawing surfaces, for the fuzz driver built without the application.
#include "vio/vio.h"

Image_table* table = nullptr;
std::uint32_t* pBuf1 = nullptr;
BITMAP_S stBittime = {};
constinit thread_local std::uint8_t table_or_image = 0;
