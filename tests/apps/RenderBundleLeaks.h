#pragma once

// Included by one file of each test program that makes a RenderBundle.
//
// The renders' private copy of the bundle is one library more with thread-local
// data: the table of a thread's dynamic TLS blocks then grows past what the
// leak checker reads right, and it crashes scanning it at exit. Its TLS is not
// scanned here (thread-local objects are gone by then anyway), and the
// loader's own scope lists and thread vectors, which it then sees as leaks,
// are not ours.
extern "C" const char* __lsan_default_options()
{
    return "use_tls=0";
}
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:resize_scopes\nleak:_dl_resize_dtv\n";
}
