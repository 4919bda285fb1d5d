#pragma once

// The browser build reads no property lists (no bundle on disk, no preset
// files); only the handle type the declarations need.
typedef void* plist_t;
