#pragma once

// libsndfile numbers each Ogg stream it writes at random, so the same sound
// would make a different file each time. This renumbers a finished stream,
// in place, with a number drawn from the stream's own content, and gives each
// page its checksum again. False when the file is not a whole Ogg stream.
bool RenumberOggStream(int fd);
