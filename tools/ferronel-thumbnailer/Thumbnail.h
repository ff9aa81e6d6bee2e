// Thumbnails for file managers: ferronel-thumbnailer -s SIZE INPUT OUTPUT.png reads the picture as
// the viewer does and writes it, shrunk to fit SIZE with the viewer's filter, as a PNG. A picture
// that cannot be read within the time limit gives no thumbnail and a non-zero status.
#pragma once

#include <chrono>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include <QImage>

namespace ferronel {

// The picture in File as a thumbnail at most Size pixels wide and high, its aspect ratio kept;
// never enlarged. Raises the load's error.
QImage MakeThumbnail(const std::string& File, int Size);

// Runs Work on its own thread while this (the main) thread serves the calls it queues, for at most
// Limit. Answers whether Work finished in time; a Work that overruns is left running, so the caller
// must end the process without waiting for it.
bool RunWithTimeLimit(std::function<void()> Work, std::chrono::milliseconds Limit);

// Exit statuses: 0 written, 1 the picture could not be read or the thumbnail not written, 2 bad
// usage, 3 out of time.
inline constexpr int ThumbnailTimedOut = 3;

// ferronel-thumbnailer [-t SECONDS] -s SIZE INPUT OUTPUT. Messages go to Err. On ThumbnailTimedOut
// the work is still running: the caller exits at once (std::_Exit).
int ThumbnailerMain(const std::vector<std::string>& Args, std::ostream& Err);

} // namespace ferronel
