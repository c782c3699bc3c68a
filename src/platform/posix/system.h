// What a single system does better than plain POSIX, behind one small
// interface: linux.cpp on Linux, and portable.cpp on every other system (and
// on Linux too in a build with LOTPICK_PORTABLE_POSIX), whose answers send the
// callers down the plain POSIX road.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace lotpick::platform::posix {

// A file in `directory` with no name yet, open for writing, or -1 with errno
// set; errno is EOPNOTSUPP where the system or the file system cannot make
// one, and the caller then makes a named temporary instead.
int open_unnamed(const std::string& directory);

// Gives a file from open_unnamed the name `path`; false with errno set, EEXIST
// when the name is taken.
bool link_unnamed(int fd, const std::string& path);

// Copies up to `most` bytes inside the kernel, from and to both files'
// current offsets, sharing their blocks where the file system can, and
// returns how many it copied: possibly none, and the caller copies the rest
// by reading and writing.
std::uint64_t copy_in_kernel(int from, int to, std::uint64_t most);

// One write(2): the count written, or -1 with errno set. Where the C
// library's write is also a point of thread cancellation, which costs more
// than the rest of it, the call is made without: a run that prints a million
// lines makes a million of them.
long write_once(int fd, const char* from, std::size_t count);

// Puts what was written to `fd` on the disk itself, past the drive's own
// cache where the system can: the data and what it takes to read it back (the
// size) with sync_data, the file's every attribute with sync_all. False with
// errno set.
bool sync_data(int fd);
bool sync_all(int fd);

}  // namespace lotpick::platform::posix
