// The POSIX platform layer, output: holding a stream's lock for a run of lines.

#include "platform/platform.h"

#include <cstdio>

namespace lotpick::platform {

StreamHold::StreamHold(std::FILE* stream) : stream_(stream) { ::flockfile(stream_); }

StreamHold::~StreamHold() { ::funlockfile(stream_); }

}  // namespace lotpick::platform
