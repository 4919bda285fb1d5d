#pragma once

// Registers the plain X11 window for IGraphicsLinux: a child of the host's
// window, no toolkit, its value fields and menus drawn in the editor's pixel
// font. It has no event loop of its own: IGraphicsLinux::IdleWindow runs it.
// scale 2 shows every editor pixel as a 2 x 2 block.
void UseX11Windows(int scale);
