// The Win32 platform layer, output: holding a stream's lock for a run of lines.

#include "platform/platform.h"

#include <cstdio>

namespace lotpick::platform {

StreamHold::StreamHold(std::FILE* stream) : stream_(stream) { _lock_file(stream_); }

StreamHold::~StreamHold() { _unlock_file(stream_); }

}  // namespace lotpick::platform
