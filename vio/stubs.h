// Minimal versions of functions whose subsystems are not built yet: the
// menus and the messages. Each does the least the main loop needs.
#pragma once

#include <cstdint>

struct Image_table;
// The main menu page (item `flag` highlighted).
void MT_choose(Image_table* table, int flag);
