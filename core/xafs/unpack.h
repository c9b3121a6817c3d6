#ifndef XAFS_UNPACK_H
#define XAFS_UNPACK_H

#include "outcome.h"

#include <string>
#include <string_view>

namespace xafs {

// The two bytes that begin a gzip stream.
bool isGzip(std::string_view bytes);

// The bytes of a gzip stream (one member or several, as gzip writes them), unpacked with
// zlib; more than maxBytes of output is an error rather than a memory hog.
Outcome<std::string> gunzip(std::string_view bytes, const std::string &name, std::size_t maxBytes);

} // namespace xafs

#endif
