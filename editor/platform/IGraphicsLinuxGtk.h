#pragma once

#include "IGraphicsLinux.h"

// Makes every Linux graphics context open its windows with GTK 3. Called by
// what shows the editor (the bundle, before its first instance), never by a
// program that only renders: that one links no toolkit.
void UseGtkWindows();
