#pragma once

class QThreadPool;

namespace tessary {

// The one thread that writes the files a change of the user's is kept in (settings, the autostart
// entry), in the order the writes were asked for: each syncs its file to the disk, which on a busy
// disk waited for most of a second on the thread that asked.
QThreadPool& fileWriter();

} // namespace tessary
